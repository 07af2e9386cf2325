// Replacing the settings file where only a POSIX system can show it: a full disk, a file's
// permissions, a symbolic link in its place, a write-protected file for a user who is not root.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "link/SettingsFile.h"
#include "tests/support/Recorders.h"

namespace {

TEST(WriteFileAtomically, KeepsThePermissionsOfTheFileItReplaces) {
  TempDir dir;
  const auto file = dir.Path() / "comm.ini";
  WriteBytes(file, std::string(500, 'o'));
  std::filesystem::permissions(
      file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(file, "new\r\n"));
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(WriteFileAtomically, AFullDiskLeavesTheOldFile) {
  TempDir dir;
  const auto file = dir.Path() / "comm.ini";
  const std::string old = SettingsFileText(1, 0, 0);
  WriteBytes(file, old);
  // The child can write no more than 8 bytes to any file: the disk is full for it.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8, 8};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteFileAtomically(file, SettingsFileText(2, 1, 1)) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have been reported as failed";
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(WriteFileAtomically, UpdatesTheFileALinkPointsToAndKeepsTheLink) {
  TempDir dir;
  const auto real = dir.Path() / "settings" / "comm.ini";
  std::filesystem::create_directory(real.parent_path());
  WriteBytes(real, "old\r\n");
  const auto link = dir.Path() / "comm.ini";
  std::filesystem::create_symlink(real, link);
  ASSERT_TRUE(WriteFileAtomically(link, "new\r\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "new\r\n");
}

TEST(WriteFileAtomically, LeavesAWriteProtectedFileAlone) {
  TempDir dir;
  const auto file = dir.Path() / "comm.ini";
  WriteBytes(file, "pinned\r\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  // The directory stays writable, so only the file's own protection can stop the replacement.
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Root may write anything; the protection is tested as an ordinary user.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(WriteFileAtomically(file, "new\r\n") ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have been refused";
  EXPECT_EQ(ReadBytes(file), "pinned\r\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

}  // namespace
