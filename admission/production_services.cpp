#include "admission/production_services.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "admission/selvik_library.h"
#include "filewatch/drive_audit.h"
#include "platform/detached_thread.h"
#include "platform/drive_list.h"
#include "platform/process.h"
#include "platform/volume.h"
#include "report/operation_log.h"
#include "report/reporter.h"

namespace torvane::admission {
namespace {

std::atomic<std::size_t> g_threadsRunning{0};

class ProductionServices final : public AdmissionServices {
 public:
  ProductionServices(std::unique_ptr<platform::Ui> ui, std::string selvikPath)
      : ui_(std::move(ui)), selvikPath_(std::move(selvikPath)) {}

  void Report(std::string_view text, std::int32_t eventType) override {
    report::ReportEvent(text, eventType);  // nobody looks at the result
  }
  void Log(std::string_view text) override { report::WriteOperationLog(text); }
  void StartDriveAudit(char letter) override { filewatch::StartDriveAudit(letter); }
  void StopAllAudits() override { filewatch::StopAllAudits(); }
  void StopDriveAudit(char letter) override { filewatch::StopDriveAudit(letter); }

  // Loaded once and kept for the process's life; a failed load is logged
  // and tried again at the next need, in case the library appears later.
  SecureDisk* Disk() override {
    std::lock_guard<std::mutex> hold(diskLock_);
    if (!disk_) {
      const std::string path = selvikPath_.empty() ? SelvikLibraryPath() : selvikPath_;
      if (path.empty()) {
        report::WriteOperationLog("Error: secure-disk library not loaded: the host directory is unknown");
        return nullptr;
      }
      SelvikLoad load = LoadSelvikLibrary(path);
      if (!load.disk) {
        report::WriteOperationLog(load.error);
        return nullptr;
      }
      disk_ = std::move(load.disk);
    }
    return disk_.get();
  }

  platform::Ui& Ui() override { return *ui_; }

  std::int64_t Now() override {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  bool DismountVolume(char letter) override { return platform::DismountVolume(letter); }
  void StartProgram(const std::string& program) override { platform::StartProgram(program); }
  std::string LogicalDriveStrings() override { return platform::LogicalDriveStrings(); }
  bool VolumeAnswers(char letter) override { return platform::VolumeAnswers(letter); }

  bool StartThread(std::function<void()> body) override {
    ++g_threadsRunning;
    // The wrapper's count drop runs even when the body throws (the thread
    // drops the exception); when no thread starts the body never runs.
    const bool started = platform::StartDetachedThread([body = std::move(body)] {
      struct Done {
        ~Done() { --g_threadsRunning; }
      } done;
      body();
    });
    if (!started) --g_threadsRunning;
    return started;
  }

 private:
  std::unique_ptr<platform::Ui> ui_;
  std::string selvikPath_;
  std::mutex diskLock_;
  std::unique_ptr<SecureDisk> disk_;
};

}  // namespace

std::size_t ThreadsRunning() { return g_threadsRunning.load(); }

std::shared_ptr<AdmissionServices> CreateProductionServices(std::unique_ptr<platform::Ui> ui,
                                                            std::string selvikPath) {
  return std::make_shared<ProductionServices>(std::move(ui), std::move(selvikPath));
}

}  // namespace torvane::admission
