#pragma once
// Admission services for tests: records reports, log lines, audit calls,
// dismounts and programs; the UI is scripted; the clock is set by hand; the
// secure-disk library is the stand-in, loaded through the real loader.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "admission/services.h"
#include "platform/scripted_ui.h"

namespace torvane::test {

class FakeServices final : public admission::AdmissionServices {
 public:
  explicit FakeServices(const std::string& script);
  ~FakeServices() override;

  void Report(std::string_view text, std::int32_t eventType) override;
  void Log(std::string_view text) override;
  void StartDriveAudit(char letter) override;
  void StopAllAudits() override;
  void StopDriveAudit(char letter) override;
  admission::SecureDisk* Disk() override { return disk.get(); }
  platform::Ui& Ui() override { return *ui; }
  std::int64_t Now() override { return now.load(); }
  bool DismountVolume(char letter) override;
  void StartProgram(const std::string& program) override;
  std::string LogicalDriveStrings() override;
  bool VolumeAnswers(char letter) override;
  bool StartThread(std::function<void()> body) override;

  void JoinThreads();

  // Snapshots, safe while scan threads run.
  std::vector<std::string> Reports() const;  // texts; every type must be 2
  std::vector<std::string> Logs() const;
  std::vector<std::string> Audits() const;   // "start e", "stop all", "stop E"
  std::vector<std::string> Actions() const;  // "dismount e", "run PATH"
  std::vector<std::string> Transcript() const { return ui->Transcript(); }
  // Reports ("report TEXT") and transcript lines, interleaved as they came.
  std::vector<std::string> Sequence() const;
  // Transcript lines of message boxes only.
  std::vector<std::string> Boxes() const;

  std::unique_ptr<admission::SecureDisk> disk;
  std::unique_ptr<platform::ScriptedUi> ui;
  std::atomic<std::int64_t> now{1'700'000'000};
  std::string drives;  // what LogicalDriveStrings answers
  std::string silent;  // upper-case letters whose volume no longer answers
  std::atomic<int> badEventTypes{0};
  // Runs after a dismount is recorded (the disk was just opened).
  std::function<void(char)> onDismount;

 private:
  mutable std::mutex mu_;
  std::vector<std::string> reports_, logs_, audits_, actions_, sequence_;
  std::vector<std::thread> threads_;
};

// A box line as the scripted UI writes it.
std::string BoxLine(int owner, const std::string& caption, unsigned icon, const std::string& text);

}  // namespace torvane::test
