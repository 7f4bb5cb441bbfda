#include "fake_services.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "admission_env.h"

namespace torvane::test {

FakeServices::FakeServices(const std::string& script) : disk(LoadStandIn()) {
  std::string error;
  ui = platform::ScriptedUi::FromText(script, &error);
  EXPECT_NE(ui, nullptr) << error;
  if (!ui) ui = std::make_unique<platform::ScriptedUi>(std::vector<platform::ScriptedUi::Step>{});
  ui->SetStepWait(std::chrono::milliseconds(3000));
  ui->SetTranscriptSink([this](const std::string& line) {
    std::lock_guard<std::mutex> hold(mu_);
    sequence_.push_back(line);
  });
}

std::vector<std::string> FakeServices::Sequence() const {
  std::lock_guard<std::mutex> hold(mu_);
  return sequence_;
}

FakeServices::~FakeServices() { JoinThreads(); }

void FakeServices::Report(std::string_view text, std::int32_t eventType) {
  if (eventType != 2) ++badEventTypes;
  std::lock_guard<std::mutex> hold(mu_);
  reports_.emplace_back(text);
  sequence_.push_back("report " + std::string(text));
}

void FakeServices::Log(std::string_view text) {
  std::lock_guard<std::mutex> hold(mu_);
  logs_.emplace_back(text);
}

void FakeServices::StartDriveAudit(char letter) {
  std::lock_guard<std::mutex> hold(mu_);
  audits_.push_back(std::string("start ") + letter);
}

void FakeServices::StopAllAudits() {
  std::lock_guard<std::mutex> hold(mu_);
  audits_.push_back("stop all");
}

void FakeServices::StopDriveAudit(char letter) {
  std::lock_guard<std::mutex> hold(mu_);
  audits_.push_back(std::string("stop ") + letter);
}

bool FakeServices::DismountVolume(char letter) {
  {
    std::lock_guard<std::mutex> hold(mu_);
    actions_.push_back(std::string("dismount ") + letter);
  }
  if (onDismount) onDismount(letter);
  return false;
}

void FakeServices::StartProgram(const std::string& program) {
  std::lock_guard<std::mutex> hold(mu_);
  actions_.push_back("run " + program);
}

std::string FakeServices::LogicalDriveStrings() {
  std::lock_guard<std::mutex> hold(mu_);
  return drives;
}

bool FakeServices::VolumeAnswers(char letter) {
  std::lock_guard<std::mutex> hold(mu_);
  return silent.find(letter) == std::string::npos;
}

bool FakeServices::StartThread(std::function<void()> body) {
  std::lock_guard<std::mutex> hold(mu_);
  threads_.emplace_back(std::move(body));
  return true;
}

void FakeServices::JoinThreads() {
  for (;;) {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> hold(mu_);
      threads.swap(threads_);
    }
    if (threads.empty()) return;
    for (auto& t : threads) t.join();
  }
}

std::vector<std::string> FakeServices::Reports() const {
  std::lock_guard<std::mutex> hold(mu_);
  return reports_;
}
std::vector<std::string> FakeServices::Logs() const {
  std::lock_guard<std::mutex> hold(mu_);
  return logs_;
}
std::vector<std::string> FakeServices::Audits() const {
  std::lock_guard<std::mutex> hold(mu_);
  return audits_;
}
std::vector<std::string> FakeServices::Actions() const {
  std::lock_guard<std::mutex> hold(mu_);
  return actions_;
}

std::vector<std::string> FakeServices::Boxes() const {
  std::vector<std::string> out;
  for (const auto& line : ui->Transcript())
    if (line.rfind("box ", 0) == 0) out.push_back(line);
  return out;
}

std::string BoxLine(int owner, const std::string& caption, unsigned icon, const std::string& text) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", icon);
  return "box " + std::to_string(owner) + " \"" + caption + "\" " + hex + " \"" + text + "\" -> 1";
}

}  // namespace torvane::test
