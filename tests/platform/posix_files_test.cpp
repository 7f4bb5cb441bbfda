// What another local user or program can plant under the names of the files
// the library keeps: a symbolic link (to have some other file written or
// truncated) or a FIFO (to stall the library with a lock held). POSIX only.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "config/config.h"
#include "config/host_directory.h"
#include "platform/file.h"
#include "platform/named_flag.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "report/operation_log.h"
#include "report/store_journal.h"
#include "report/warning_store.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `body` and expects it to return within seconds. An open that blocks
// on the FIFO is released by opening the FIFO's other end, so that a
// failing test does not hang the suite.
template <typename Body>
void ReturnsPromptly(const fs::path& fifo, Body body) {
  auto done = std::async(std::launch::async, body);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return;
  ADD_FAILURE() << "blocked on the FIFO " << fifo;
  // Opening the other end wakes a blocked open; closing it at once lets a
  // read that follows end instead of waiting for a writer. Again until the
  // body has passed every FIFO it opens.
  do {
    const int other = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    if (other >= 0) ::close(other);
  } while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready);
}

class PlantedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TORVANE_STATE_DIR", (state_.path() / "state").c_str(), 1);
    config::SetHostDirectoryOverride(host_.dir());
  }
  void TearDown() override {
    ::unsetenv("TORVANE_STATE_DIR");
    config::SetHostDirectoryOverride(std::nullopt);
  }
  fs::path Fifo(const std::string& name) {
    const fs::path p = host_.path() / name;
    EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
    return p;
  }
  // A file that must stay as it is, and a link to it under `name`.
  fs::path LinkToVictim(const fs::path& name) {
    fs::create_symlink(victim_, name);
    return name;
  }

  test::TempDir host_, state_, elsewhere_;
  const fs::path victim_ = elsewhere_.Write("victim", "keep me");
};

TEST_F(PlantedFiles, FilesAreNotOpenedThroughSymbolicLinks) {
  const fs::path link = LinkToVictim(host_.path() / "info2.sys");
  EXPECT_FALSE(File::Open(link.string(), File::Mode::kReadWriteAlways));
  EXPECT_FALSE(File::Open(link.string(), File::Mode::kReadShared));
  // A dangling link is not followed to create its target either.
  const fs::path dangling = host_.path() / "dangling";
  fs::create_symlink(elsewhere_.path() / "created", dangling);
  EXPECT_FALSE(File::Open(dangling.string(), File::Mode::kReadWriteAlways));
  EXPECT_FALSE(fs::exists(elsewhere_.path() / "created"));

  LinkToVictim(host_.path() / report::kOperationLogName);
  report::WriteOperationLog("a line");
  EXPECT_EQ(ReadAll(victim_), "keep me");
}

TEST_F(PlantedFiles, FifosAreRefusedWithoutBlocking) {
  const fs::path fifo = Fifo("fifo");
  ReturnsPromptly(fifo, [&] { EXPECT_FALSE(File::Open(fifo.string(), File::Mode::kReadShared)); });
  ReturnsPromptly(fifo, [&] { EXPECT_FALSE(File::Open(fifo.string(), File::Mode::kReadWriteAlways)); });
  // A FIFO under the store journal's name: the append neither hangs (with
  // the store lock held) nor fails to store the record.
  const std::string store = host_.dir() + "info2.sys";
  const fs::path journal = Fifo(fs::path(report::StoreJournalPath(store)).filename().string());
  ReturnsPromptly(journal, [&] { report::AppendWarningRecord(store, "record"); });
  EXPECT_GT(fs::file_size(store), 0u);
  // Regular files still open as before.
  auto file = File::Open(host_.dir() + "plain", File::Mode::kReadWriteAlways);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->WriteAt(0, "abc").bytes, 3u);
  EXPECT_TRUE(File::Open(host_.dir() + "plain", File::Mode::kReadShared));
}

// A FIFO or link under a configuration file's name: every read returns at
// once with the key's default (a scan pass would otherwise hold its progress
// flag for ever), and the log says which file was refused.
TEST_F(PlantedFiles, ConfigurationFilesAreReadOnlyAsRegularFiles) {
  for (const char* name : {config::kPolicyFile, config::kIdentityFile, config::kRegistrationFile}) {
    const fs::path fifo = Fifo(name);
    ReturnsPromptly(fifo, [] {
      EXPECT_EQ(config::ReadUfileAudit(), 0);
      EXPECT_EQ(config::ReadUid(), "");
      EXPECT_EQ(config::ReadReg(), "0");
    });
    EXPECT_NE(ReadAll(host_.path() / report::kOperationLogName)
                  .find(std::string("Error:Configuration file refused, not a regular file: ") +
                        host_.dir() + name),
              std::string::npos)
        << name;
    fs::remove(fifo);
  }
  const fs::path identity = elsewhere_.Write("id.cfg", "[KOLMERA]\nUID=elsewhere\n");
  fs::create_symlink(identity, host_.path() / config::kIdentityFile);
  EXPECT_EQ(config::ReadUid(), "");
}

// The profile reader itself refuses them too, not only the configuration's
// check before it: a file swapped for a link or FIFO after that check still
// yields the defaults, at once.
TEST_F(PlantedFiles, ProfileReaderRefusesLinksAndFifos) {
  const fs::path real = elsewhere_.Write("real.ini", "[S]\nK=linked\nN=7\n");
  const fs::path link = host_.path() / "link.ini";
  fs::create_symlink(real, link);
  EXPECT_EQ(ProfileString("S", "K", "default", 64, link.string()), "default");
  EXPECT_EQ(ProfileInt("S", "N", 3, link.string()), 3);
  const fs::path fifo = Fifo("fifo.ini");
  ReturnsPromptly(fifo, [&] {
    EXPECT_EQ(ProfileString("S", "K", "default", 64, fifo.string()), "default");
    EXPECT_EQ(ProfileInt("S", "N", 3, fifo.string()), 3);
  });
  EXPECT_EQ(ProfileString("S", "K", "default", 64, real.string()), "linked") << "a regular file is read";
}

// A link planted as the salvaged store, with the store itself gone (as after
// a crash part way through a salvage), is never renamed into place: the
// append makes a store of its own and says why.
TEST_F(PlantedFiles, SalvageLinkIsNotPutInPlace) {
  const std::string store = host_.dir() + "info2.sys";
  LinkToVictim(host_.path() / "info2.sys.salvage");
  ASSERT_EQ(report::AppendWarningRecord(store, "record"), 0);
  EXPECT_FALSE(fs::is_symlink(store));
  EXPECT_EQ(report::ReadWarningStore(store), "record,");
  EXPECT_EQ(ReadAll(victim_), "keep me");
  EXPECT_NE(ReadAll(host_.path() / report::kOperationLogName)
                .find("Error:Store salvage refused, not a regular file: "),
            std::string::npos);
}

// A link or FIFO planted as the store: the record is dropped, never written
// through, and the log says so.
TEST_F(PlantedFiles, PlantedStoreIsRefusedAndLogged) {
  const std::string store = host_.dir() + "info2.sys";
  LinkToVictim(store);
  EXPECT_EQ(report::AppendWarningRecord(store, "record"), -1);
  EXPECT_EQ(ReadAll(victim_), "keep me");
  fs::remove(store);
  const fs::path fifo = Fifo("info2.sys");
  ReturnsPromptly(fifo, [&] { EXPECT_EQ(report::AppendWarningRecord(store, "record"), -1); });
  const std::string log = ReadAll(host_.path() / report::kOperationLogName);
  const std::string line = "Error:Store refused, not a regular file: " + store;
  EXPECT_NE(log.find(line), std::string::npos) << log;
  EXPECT_NE(log.find(line, log.find(line) + 1), std::string::npos) << log;
}

TEST_F(PlantedFiles, RegistryTemporaryFileIsMadeAfresh) {
  auto key = LocalMachineKey::OpenOrCreate("SOFTWARE\\Ferrowan");
  ASSERT_TRUE(key);
  const fs::path dir = state_.path() / "state" / "registry" / "HKEY_LOCAL_MACHINE" / "SOFTWARE" / "Ferrowan";
  LinkToVictim(dir / "check.new");
  ASSERT_TRUE(key->SetDword("check", 32));
  EXPECT_EQ(ReadAll(victim_), "keep me");
  EXPECT_EQ(key->ReadDword("check"), 32u);
  EXPECT_FALSE(fs::is_symlink(dir / "check"));
  // A link planted under the value's own name is not read through.
  fs::remove(dir / "check");
  const fs::path four = elsewhere_.Write("four", "\x10\x00\x00\x00");
  fs::create_symlink(four, dir / "check");
  EXPECT_FALSE(key->ReadDword("check"));
}

TEST_F(PlantedFiles, StateFolderIsPrivate) {
  ASSERT_TRUE(NamedFlag::Create("Global_Test_Flag").held());
  for (const fs::path& dir : {state_.path() / "state", state_.path() / "state" / "flags"}) {
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
  }
  // A link under a flag's name is not followed.
  LinkToVictim(state_.path() / "state" / "flags" / "Global_Linked");
  EXPECT_EQ(NamedFlag::Create("Global_Linked").status(), NamedFlag::Status::kFailed);
}

}  // namespace
}  // namespace torvane::platform
#endif
