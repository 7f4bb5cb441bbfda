#pragma once
// One notification on its way from the watcher's worker to the notification
// thread. It holds a count on its QueuedSink, so that the sink outlives every
// event queued for it.
#include <cstdint>
#include <optional>
#include <string>

#include "filewatch/change_sink.h"
#include "filewatch/ref.h"

namespace torvane::filewatch {

class QueuedSink;

struct SinkEvent {
  Ref<QueuedSink> owner;
  EventKind kind = EventKind::kCreated;
  std::string path;  // the file, or for kinds 5 to 7 the watched directory
  std::optional<std::string> second_path;  // the new path of a rename
  std::uint32_t error = 0;                 // kinds 5 and 6
};

}  // namespace torvane::filewatch
