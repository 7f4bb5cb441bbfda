// Whether a drive's volume answers: what a removal of a drive the system
// still lists is checked against.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/drive_list.h"
#include "platform/drive_map.h"
#include "platform/volume.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

// A letter the system has no drive for.
char FreeLetter() {
  const std::string list = LogicalDriveStrings();
  for (char c = 'Q'; c <= 'Y'; ++c)
    if (list.find(c) == std::string::npos) return c;
  return '\0';
}

TEST(VolumeTest, AVolumeAnswersOnlyWhileItIsThere) {
  const char letter = FreeLetter();
  ASSERT_NE(letter, '\0');
  EXPECT_FALSE(VolumeAnswers(letter));
#ifdef _WIN32
  // Wine resolves a letter defined here for the object manager only, not
  // for file access, so the system drive stands for a present disk. (A
  // disk pulled under Wine, its dosdevices link removed, stops answering at
  // once while the drive list may still show it.)
  EXPECT_TRUE(VolumeAnswers('C'));
  EXPECT_TRUE(VolumeAnswers('c'));
#else
  test::TempDir disk;
  const std::filesystem::path root = disk.path() / "mount";
  std::filesystem::create_directory(root);
  ASSERT_TRUE(SetDriveRoot(letter, root.string()));
  EXPECT_TRUE(VolumeAnswers(letter));
  EXPECT_TRUE(VolumeAnswers(static_cast<char>(letter - 'A' + 'a')));
  std::filesystem::remove(root);  // the disk is pulled: its mount point goes
  EXPECT_FALSE(VolumeAnswers(letter));
  SetDriveRoot(letter, "");
#endif
}

}  // namespace
}  // namespace torvane::platform
