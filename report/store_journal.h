#pragma once
// Before an append overwrites the store's last block it saves the store's
// old size and last bytes beside it ("<store>.journal"), and removes that
// note once the append is complete. An append interrupted half way (crash,
// power loss) leaves the note behind, and the next append puts the old
// tail back first: only the interrupted record is lost.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace torvane::report {

std::string StoreJournalPath(const std::string& storePath);

// Saves the store's size before the append and its last up to 32 bytes,
// and, when given, the size and last block the append will leave, flushed to
// the device. False when the note could not be written.
bool WriteStoreJournal(const std::string& storePath, std::uint64_t oldSize,
                       std::string_view oldTail, std::uint64_t newSize = 0,
                       std::string_view newLast = {});

void RemoveStoreJournal(const std::string& storePath);

// With the store open exclusively: if a note is left, puts the saved tail
// back and cuts the store to its saved size, when the store still shows the
// block just before the saved tail unchanged and does not already end as the
// append meant to leave it (a note whose removal failed after a complete
// append); then removes the note. A torn or foreign note is just removed.
void RecoverStoreJournal(const std::string& storePath, platform::File& store);

}  // namespace torvane::report
