// Which serial devices the device dialog lists, under which name and description, in which order,
// and whether a user may open one; over folder trees laid out like /dev and /sys.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/DeviceTree.h"
#include "tests/support/FakeDeviceTree.h"

namespace {

using Kind = DetectedDevice::Kind;
using Verdict = DeviceAccess::Verdict;
namespace fs = std::filesystem;

TEST(DeviceTree, ListsAdaptersByStableNameThenUartsAndLeavesOutWhatCannotBeOpened) {
  FakeDeviceTree tree;
  tree.AddUsbAdapter("ttyUSB10", "FTDI", "FT232R USB UART",
                     "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  tree.AddUsbAdapter("ttyUSB2", "Prolific Technology Inc.", "USB-Serial Controller", "");
  tree.AddUsbAdapter("ttyACM0", "", "", "usb-1a86_USB_Single_Serial-if00");
  tree.AddUsbAdapter("ttyUSB3", "", "CP2102 USB to UART Bridge Controller", "");
  tree.AddUsbAdapter("ttyUSB4", "FTDI", "gone while listed", "");
  tree.RemoveNode("ttyUSB4");
  tree.AddBuiltInPort("ttyS1", 4);
  tree.AddBuiltInPort("ttyS0", 4);
  tree.AddBuiltInPort("ttyS2", 0);  // placeholder: no UART
  tree.AddBuiltInPort("ttyS3", 4);
  tree.RemoveNode("ttyS3");

  const std::vector<DetectedDevice> expected{
      {"/dev/serial/by-id/usb-1a86_USB_Single_Serial-if00", "ttyACM0",
       "USB serial adapter 0403:6001", Kind::UsbAdapter},
      {"/dev/ttyUSB2", "ttyUSB2", "Prolific Technology Inc. USB-Serial Controller",
       Kind::UsbAdapter},
      {"/dev/ttyUSB3", "ttyUSB3", "CP2102 USB to UART Bridge Controller", Kind::UsbAdapter},
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB10",
       "FTDI FT232R USB UART", Kind::UsbAdapter},
      {"/dev/ttyS0", "ttyS0", "Built-in serial port", Kind::BuiltInPort},
      {"/dev/ttyS1", "ttyS1", "Built-in serial port", Kind::BuiltInPort},
  };
  EXPECT_EQ(DeviceTree(tree.Root()).Scan(), expected);
  EXPECT_TRUE(DeviceTree(tree.Root() / "no-such-machine").Scan().empty());
}

struct AccessCase {
  const char* what;
  fs::perms mode;
  enum { Stranger, Owner, InGroup, InGroupNextLogin, Root } who;
  Verdict verdict;
};

class DeviceAccessTest : public testing::TestWithParam<AccessCase> {};

TEST_P(DeviceAccessTest, TellsWhetherTheUserMayOpenTheDeviceAndWhy) {
  const AccessCase& c = GetParam();
  FakeDeviceTree tree;
  const fs::path node = tree.AddNode("/dev/ttyUSB0", c.mode);
  // An owner other than root, whom the mode bits do not bind.
  if (geteuid() == 0) {
    ASSERT_EQ(chown(node.c_str(), 4242, static_cast<gid_t>(-1)), 0);
  }
  struct stat status {};
  ASSERT_EQ(stat(node.c_str(), &status), 0);

  // Somebody other than the node's owner, in none of its groups, unless the case says so.
  UserIdentity user{status.st_uid + 1, {status.st_gid + 1}, {status.st_gid + 1}, false};
  if (c.who == AccessCase::Owner) user.uid = status.st_uid;
  if (c.who == AccessCase::Owner || c.who == AccessCase::InGroup) user.groups = {status.st_gid};
  if (c.who == AccessCase::InGroupNextLogin) user.groupsAtNextLogin.push_back(status.st_gid);
  if (c.who == AccessCase::Root) user.uid = 0;

  const DeviceAccess access = DeviceTree(tree.Root()).Access("/dev/ttyUSB0", user);
  EXPECT_EQ(access.verdict, c.verdict) << c.what;
  const group* named = getgrgid(status.st_gid);
  EXPECT_EQ(access.group, named ? named->gr_name : std::to_string(status.st_gid)) << c.what;
  EXPECT_EQ(DeviceTree(tree.Root()).Access("/dev/ttyUSB9", user).verdict, Verdict::Missing);
}

constexpr auto kDialout =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write;
constexpr auto kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
constexpr auto kGroupOnly = fs::perms::group_read | fs::perms::group_write;

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceAccessTest,
    testing::Values(AccessCase{"group member", kDialout, AccessCase::InGroup, Verdict::Allowed},
                    AccessCase{"not in the group", kDialout, AccessCase::Stranger,
                               Verdict::NeedsGroup},
                    AccessCase{"added, not logged in again", kDialout, AccessCase::InGroupNextLogin,
                               Verdict::NeedsNewLogin},
                    AccessCase{"owner only", kOwnerOnly, AccessCase::Stranger, Verdict::Denied},
                    AccessCase{"owner", kOwnerOnly, AccessCase::Owner, Verdict::Allowed},
                    AccessCase{"the owner's bits rule the owner", kGroupOnly, AccessCase::Owner,
                               Verdict::Denied},
                    AccessCase{"group may only read", kOwnerOnly | fs::perms::group_read,
                               AccessCase::InGroup, Verdict::Denied},
                    AccessCase{"anybody", fs::perms::all, AccessCase::Stranger, Verdict::Allowed},
                    AccessCase{"root", kOwnerOnly, AccessCase::Root, Verdict::Allowed}));

}  // namespace
