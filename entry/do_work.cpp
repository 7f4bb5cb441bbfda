#include "entry/do_work.h"

#include <string>

#include "admission/device_watch.h"
#include "admission/production_services.h"
#include "admission/selvik_library.h"
#include "config/host_directory.h"
#include "platform/module_pin.h"
#include "platform/native_ui.h"
#include "report/operation_log.h"

namespace torvane::entry {

int RunDoWork() {
  // Before any thread of ours can start: see platform/module_pin.h.
  if (!platform::PinLibraryModule()) report::WriteOperationLog("Error:PinModule");
  std::string error;
  auto ui = platform::CreateNativeUi(&error);
  if (!ui) {
    report::WriteOperationLog("Error:UI " + error);
    return 0;
  }
  // The suite installs the secure-disk library beside the host program; it
  // is loaded by that full path only, never found through a search.
  const std::string dir = config::HostDirectory();
  const std::string selvik = dir.empty() ? std::string() : dir + admission::SelvikLibraryName();
  return admission::RunDeviceWatch(admission::CreateProductionServices(std::move(ui), selvik));
}

}  // namespace torvane::entry
