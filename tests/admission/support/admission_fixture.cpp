#include "admission_fixture.h"

#include "config/host_directory.h"

namespace torvane::test {

AdmissionTest::AdmissionTest() {
  config::SetHostDirectoryOverride(host_.dir());
  SetEnv("TORVANE_STATE_DIR", stateDir_.path().string());
  Configure(Settings{});
  state_->ResetSlots(0);
}

AdmissionTest::~AdmissionTest() {
  if (services_) services_->JoinThreads();
  services_.reset();
  config::SetHostDirectoryOverride(std::nullopt);
  UnsetEnv("TORVANE_STATE_DIR");
}

void AdmissionTest::Configure(const Settings& s) {
  host_.Write("KOLMERA.cfg", "[KOLMERA]\r\nUfileAudit=" + std::to_string(s.ufileAudit) +
                                 "\r\nGenericUDisk=" + std::to_string(s.genericUDisk) +
                                 "\r\nUser=" + s.user + "\r\n");
  host_.Write("id.cfg", "[KOLMERA]\r\nGeneral=" + std::to_string(s.general) + "\r\nUNITID=" +
                            s.unitId + "\r\nFIELDID=" + s.fieldId + "\r\n");
  host_.Write("kolMera2.ini", "[KOLMERA]\r\nreg=" + s.reg + "\r\n");
}

void AdmissionTest::Start(const std::string& disks, const std::string& script) {
  sim_ = std::make_unique<SimulatedDisks>(disks);
  services_ = std::make_unique<FakeServices>(script);
  ASSERT_NE(services_->disk, nullptr);
}

}  // namespace torvane::test
