// Which device each COM name reaches: the environment, then the user's kept choice, then the
// system's port; and the kept choice surviving a restart and a damaged file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "link/ComPortMap.h"
#include "link/NetworkAddress.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;

class ComPortMapTest : public testing::Test {
 protected:
  ~ComPortMapTest() override {
    for (const char* name : {"QZR71_COM1", "QZR71_COM2", "QZR71_COM3", "QZR71_COM4"}) {
      unsetenv(name);
    }
  }
  fs::path File() const { return dir_.Path() / "config" / "qzr71" / "serial-devices.json"; }
  TempDir dir_;
};

TEST_F(ComPortMapTest, TheEnvironmentRulesThenTheKeptChoiceThenTheSystemsPort) {
  setenv("QZR71_COM1", "/dev/pts/7", 1);
  setenv("QZR71_COM2", "", 1);  // set but empty: no choice
  ComPortMap ports(File());
  ASSERT_TRUE(ports.Keep({"/dev/ttyUSB0", "/dev/ttyUSB1", "", ""}));

  using Source = DeviceSource;
  EXPECT_EQ(ports.Resolve("COM1"), (ComPortDevice{"/dev/pts/7", Source::Environment}));
  EXPECT_EQ(ports.Resolve("COM2"), (ComPortDevice{"/dev/ttyUSB1", Source::UserChoice}));
  EXPECT_EQ(ports.Resolve("COM3"), (ComPortDevice{"/dev/ttyS2", Source::SystemDefault}));
  for (const char* other : {"COM0", "COM5", "com1", "COM", "COM12", "/dev/ttyS0", ""}) {
    EXPECT_EQ(ports.Resolve(other), std::nullopt) << other;
  }
  // The choice under the variable is kept for when the variable is gone.
  unsetenv("QZR71_COM1");
  EXPECT_EQ(ComPortMap(File()).DevicePathFor("COM1"), "/dev/ttyUSB0");
}

TEST_F(ComPortMapTest, TheKeptChoiceSurvivesARestartInAFolderOnlyTheUserMaySee) {
  const DeviceChoices chosen{"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "", "", "/dev/pts/3"};
  ASSERT_TRUE(ComPortMap(File()).Keep(chosen));
  EXPECT_EQ(ComPortMap(File()).Choices(), chosen);
  EXPECT_EQ(ReadBytes(File()), DeviceChoicesText(chosen));
  struct stat folder {};
  ASSERT_EQ(stat(File().parent_path().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  // Nothing but the file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(File().parent_path()), {}), 1);

  // The file is replaced, never rewritten in place: a reader that opened it before reads the old
  // choice whole.
  std::ifstream reader(File(), std::ios::binary);
  ComPortMap cleared(File());
  ASSERT_TRUE(cleared.Keep({}));
  EXPECT_EQ(ComPortMap(File()).Choices(), DeviceChoices{});
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), DeviceChoicesText(chosen));
}

TEST_F(ComPortMapTest, AChoiceThatCannotBeKeptHoldsUntilTheToolEnds) {
  WriteBytes(dir_.Path() / "config", "a file where the folder should be");
  ComPortMap ports(File());
  EXPECT_FALSE(ports.Keep({"/dev/ttyUSB0", "", "", ""}));
  EXPECT_EQ(ports.DevicePathFor("COM1"), "/dev/ttyUSB0");
  EXPECT_FALSE(ComPortMap({}).Keep({"/dev/ttyUSB0", "", "", ""}));
}

struct DamagedFile {
  const char* what;
  std::string bytes;
  DeviceChoices expected;
};

class DamagedChoiceFile : public testing::TestWithParam<DamagedFile> {};

TEST_P(DamagedChoiceFile, GivesTheDefaultForWhatItCannotRead) {
  TempDir dir;
  WriteBytes(dir.Path() / "serial-devices.json", GetParam().bytes);
  EXPECT_EQ(LoadDeviceChoices(dir.Path() / "serial-devices.json"), GetParam().expected)
      << GetParam().what;
}

TEST(DeviceChoiceFileKind, AFolderOrAPipeInItsPlaceIsNoChoiceAndDoesNotBlock) {
  TempDir dir;
  fs::create_directory(dir.Path() / "folder");
  ASSERT_EQ(mkfifo((dir.Path() / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(LoadDeviceChoices(dir.Path() / "folder"), DeviceChoices{});
  EXPECT_EQ(LoadDeviceChoices(dir.Path() / "pipe"), DeviceChoices{});
}

const std::string kGood = DeviceChoicesText({"/dev/ttyUSB0", "/dev/ttyACM0", "", ""});

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedChoiceFile,
    testing::Values(DamagedFile{"empty", "", {}},
                    DamagedFile{"torn", kGood.substr(0, kGood.size() / 2), {}},
                    DamagedFile{"binary", std::string("\0\xff\xfe{\"ports\"", 11), {}},
                    DamagedFile{"not an object", "[\"/dev/ttyUSB0\"]", {}},
                    DamagedFile{"ports not an object", R"({"ports": "/dev/ttyUSB0"})", {}},
                    DamagedFile{"hand-edited entries",
                                R"({"ports": {"COM1": 5, "COM2": "ttyUSB0", "COM3": "/dev/ttyUSB1",
                        "COM4": "/dev/tty\u0000S0", "COM5": "/dev/ttyUSB2"}, "more": []})",
                                {"", "", "/dev/ttyUSB1", ""}},
                    DamagedFile{"not UTF-8", "{\"ports\": {\"COM1\": \"/dev/\xff\"}}", {}},
                    DamagedFile{
                        "deeply nested", std::string(20000, '[') + std::string(20000, ']'), {}},
                    DamagedFile{"too large",
                                R"({"ports": {"COM1": "/dev/ttyUSB0"}, "pad": ")" +
                                    std::string(70000, ' ') + "\"}",
                                {}}));

struct AddressCase {
  const char* device;
  std::optional<NetworkAddress> expected;
};

class Rfc2217Name : public testing::TestWithParam<AddressCase> {};

TEST_P(Rfc2217Name, IsParsedOnlyWhenWellFormedAndNeverTakenForALocalPath) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(ParseRfc2217Address(c.device), c.expected) << c.device;
  EXPECT_EQ(IsUsableDevicePath(c.device), c.expected.has_value()) << c.device;
  EXPECT_TRUE(IsNetworkDeviceName(c.device)) << c.device;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rfc2217Name,
    testing::Values(AddressCase{"rfc2217://127.0.0.1:3001", NetworkAddress{"127.0.0.1", 3001}},
                    AddressCase{"RFC2217://bench-7.local:1", NetworkAddress{"bench-7.local", 1}},
                    AddressCase{"rfc2217://[fe80::1]:65535", NetworkAddress{"fe80::1", 65535}},
                    AddressCase{"rfc2217://host:0", std::nullopt},
                    AddressCase{"rfc2217://host:65536", std::nullopt},
                    AddressCase{"rfc2217://host", std::nullopt},
                    AddressCase{"rfc2217://:3001", std::nullopt},
                    AddressCase{"rfc2217://host:30x1", std::nullopt},
                    AddressCase{"rfc2217://host:3001/path", std::nullopt},
                    AddressCase{"rfc2217://ho st:3001", std::nullopt},
                    AddressCase{"rfc2217://[::1:3001", std::nullopt},
                    AddressCase{"rfc2217://[::1]3001", std::nullopt}));

TEST(DeviceChoiceFile, LiesInTheUsersConfigurationFolder) {
  const char* home = getenv("HOME");
  const std::string savedHome = home ? home : "";
  setenv("HOME", "/home/technician", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(DeviceChoiceFile(), "/tmp/xdg/qzr71/serial-devices.json");
  setenv("XDG_CONFIG_HOME", "relative/xdg", 1);  // not absolute: ignored
  EXPECT_EQ(DeviceChoiceFile(), "/home/technician/.config/qzr71/serial-devices.json");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DeviceChoiceFile(), "/home/technician/.config/qzr71/serial-devices.json");
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
