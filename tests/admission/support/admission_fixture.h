#pragma once
// A fixture for whole admissions: a host directory with the suite's three
// configuration files, a private state folder for named flags and atoms
// (POSIX), and a simulation file for the stand-in library.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "admission/drive_slots.h"
#include "admission_env.h"
#include "fake_services.h"
#include "support/temp_dir.h"

namespace torvane::test {

struct Settings {
  std::string reg = "1";
  int genericUDisk = 0;
  int general = 0;
  int ufileAudit = 0;
  std::string user = "";
  std::string unitId = "";
  std::string fieldId = "";
};

class AdmissionTest : public ::testing::Test {
 protected:
  AdmissionTest();
  ~AdmissionTest() override;

  void Configure(const Settings& s);
  // Writes the simulation file and makes services with `script`.
  void Start(const std::string& disks, const std::string& script);

  TempDir host_;
  TempDir stateDir_;
  std::unique_ptr<SimulatedDisks> sim_;
  std::unique_ptr<FakeServices> services_;
  std::shared_ptr<admission::AdmissionState> state_ = std::make_shared<admission::AdmissionState>();
};

}  // namespace torvane::test
