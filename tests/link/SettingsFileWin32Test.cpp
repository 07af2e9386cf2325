// Replacing the settings file where only Windows can show it.

#include <gtest/gtest.h>

#include "link/SettingsFile.h"
#include "tests/support/Recorders.h"

namespace {

TEST(WriteFileAtomically, LeavesAReadOnlyFileAlone) {
  TempDir dir;
  const auto file = dir.Path() / "comm.ini";
  WriteBytes(file, "pinned\r\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  EXPECT_FALSE(WriteFileAtomically(file, "new\r\n"));
  EXPECT_EQ(ReadBytes(file), "pinned\r\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
  std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_TRUE(WriteFileAtomically(file, "new\r\n")) << "writable again";
  EXPECT_EQ(ReadBytes(file), "new\r\n");
}

}  // namespace
