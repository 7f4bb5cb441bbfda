#pragma once
// The admission services as the library runs them: events through the
// reporter, lines to the operation log, the file activity monitor, the
// secure-disk library loaded at first need, the platform's volume, process,
// drive list and threads.
#include <memory>
#include <string>

#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

// `selvikPath`: the full path of the secure-disk library to load; empty for
// the library's own place, SelvikLibraryPath() (the host directory).
std::shared_ptr<AdmissionServices> CreateProductionServices(std::unique_ptr<platform::Ui> ui,
                                                            std::string selvikPath = {});

// Threads started through StartThread that have not ended yet (nobody waits
// for them; a host about to exit may want to).
std::size_t ThreadsRunning();

}  // namespace torvane::admission
