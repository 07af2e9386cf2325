// The "Serial devices" dialog's logic over a fake device tree or a given list of Windows ports, a
// kept choice in a scratch folder and recorded serial services: what each row offers and says, and
// what Apply keeps and reopens.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "link/PortDriver.h"
#include "run/LinuxDeviceSource.h"
#include "run/PortSettingsModel.h"
#include "run/SerialDevicesModel.h"
#include "run/WindowsPortSource.h"
#include "tests/link/FakePort.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kAdapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

class SerialDevicesModelTest : public testing::Test {
 protected:
  SerialDevicesModelTest() {
    tree_.AddUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART",
                        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    tree_.AddBuiltInPort("ttyS0", 4);
    fs::permissions(tree_.Root() / "dev/ttyUSB0", fs::perms::all);
    fs::permissions(tree_.Root() / "dev/ttyS0", fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_read | fs::perms::group_write);
  }
  ~SerialDevicesModelTest() override { unsetenv("QZR71_COM3"); }

  SerialDevicesModel& Open(const DeviceChoices& kept, const SerialDeviceSource* source = nullptr) {
    EXPECT_TRUE(ports_.Keep(kept));
    settings_.FormCreate();
    port_.calls.clear();
    model_ = std::make_unique<SerialDevicesModel>(
        source != nullptr ? *source : static_cast<const SerialDeviceSource&>(devices_), ports_,
        settings_);
    model_->SetObserver([this] { ++shown_; });
    return *model_;
  }
  int Opens() const {
    return static_cast<int>(std::count(port_.calls.begin(), port_.calls.end(), "Open COM1"));
  }

  FakeDeviceTree tree_;
  UserIdentity stranger_{4243, {4243}, {4243}, false};  // in none of the devices' groups
  LinuxDeviceSource devices_{DeviceTree(tree_.Root()), stranger_};
  std::vector<SystemPort> windowsPorts_;
  WindowsPortSource windows_{[this] { return windowsPorts_; }};
  int shown_ = 0;
  TempDir dir_;
  ComPortMap ports_{dir_.Path() / "qzr71" / "serial-devices.json"};
  FakePort port_;
  RecordingBoxes boxes_;
  PortDriver driver_{port_};
  PortSettingsModel settings_{driver_, boxes_, dir_.Path() / "comm.ini"};
  std::unique_ptr<SerialDevicesModel> model_;
};

TEST_F(SerialDevicesModelTest, EachRowOffersTheDevicesShowsItsChoiceAndWhetherItMayBeOpened) {
  setenv("QZR71_COM3", "/dev/pts/9", 1);
  SerialDevicesModel& model = Open({kAdapter, "/dev/ttyUSB7", "/dev/ttyUSB0", ""});
  const auto& rows = model.Rows();
  for (std::size_t row : {0, 1, 3}) {
    EXPECT_EQ(rows[row].entries,
              (std::vector<std::string>{"Default: /dev/ttyS" + std::to_string(row),
                                        "FTDI FT232R USB UART (ttyUSB0)",
                                        "Built-in serial port (ttyS0)", "A path typed in"}));
  }
  EXPECT_EQ(rows[0].entry, 1);
  EXPECT_EQ(rows[0].device, kAdapter);
  EXPECT_TRUE(rows[0].mayOpen);
  EXPECT_EQ(rows[0].access, "You may open this device.");
  // A kept adapter that is not plugged in now shows as the path it is.
  EXPECT_EQ(rows[1].entry, 3);
  EXPECT_EQ(rows[1].typedPath, "/dev/ttyUSB7");
  EXPECT_EQ(rows[1].access, "There is no such device now: plug the adapter in, or check the path.");
  EXPECT_FALSE(rows[2].editable);
  EXPECT_EQ(rows[2].entries, std::vector<std::string>{"Set by QZR71_COM3"});
  EXPECT_EQ(rows[2].note,
            "Set by QZR71_COM3 in the environment, which rules over a choice here. "
            "Start the tool without it to choose here.");
  EXPECT_EQ(rows[2].device, "/dev/pts/9");
  EXPECT_EQ(rows[3].entry, 0);
  EXPECT_EQ(rows[3].device, "/dev/ttyS3");
  EXPECT_TRUE(rows[3].editable);

  model.ChooseEntry(3, 2);
  EXPECT_EQ(rows[3].device, "/dev/ttyS0");
  EXPECT_FALSE(rows[3].mayOpen);
  EXPECT_NE(rows[3].access.find("sudo usermod -aG"), std::string::npos) << rows[3].access;
  model.ChooseEntry(3, 3);  // typing starts from the device chosen so far
  EXPECT_TRUE(rows[3].typed);
  EXPECT_EQ(rows[3].typedPath, "/dev/ttyS0");

  // Apply keeps the name the environment rules as it was kept.
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(ComPortMap(ports_.File()).Choices()[2], "/dev/ttyUSB0");
}

TEST_F(SerialDevicesModelTest, ApplyKeepsTheChoiceAndReopensThePortOnlyWhenItsDeviceChanged) {
  SerialDevicesModel& model = Open({});
  settings_.SelRsBpsClick(2);  // pending in the settings dialog, not yet selected

  model.ChooseEntry(1, 1);
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(Opens(), 0) << "COM2 is not the port in use";
  EXPECT_EQ(ComPortMap(ports_.File()).DevicePathFor("COM2"), kAdapter);

  model.TypePath(0, "  /dev/pts/5 ");
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(Opens(), 1);
  EXPECT_EQ(port_.calls.front(), "Close");
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(port_.configured.BaudRate, 9600u) << "reopened with the committed settings";
  EXPECT_EQ(settings_.Pending.BaudRate, 19200);
  EXPECT_EQ(settings_.SelRsBpsIndex, 2);
  EXPECT_NE(ReadBytes(dir_.Path() / "comm.ini").find("CBR_9600"), std::string::npos);
  EXPECT_EQ(model.Status(), "Kept for your next start in " + ports_.File().string() +
                                ". COM1 is open on /dev/pts/5.");
  EXPECT_EQ(ComPortMap(ports_.File()).DevicePathFor("COM1"), "/dev/pts/5");
  EXPECT_TRUE(boxes_.shown.size() == 1) << "only the missing comm.ini at start-up";

  model.FormShow();
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(Opens(), 1) << "nothing changed";
}

TEST_F(SerialDevicesModelTest, AFailedReopenShowsThePortErrorAndLeavesThePortClosed) {
  SerialDevicesModel& model = Open({});
  port_.openFails = true;
  port_.error = 13;
  model.ChooseEntry(0, 1);
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_FALSE(driver_.IsOpen());
  EXPECT_EQ(boxes_.shown.back(),
            (ShownBox{"CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:d", "RS232C PORT"}));
  EXPECT_NE(model.Status().find(std::string("COM1 could not be opened on ") + kAdapter + "."),
            std::string::npos);

  // A server that can say more than the box's number says it here.
  port_.failureText = "no answer within 2 s to the COM port option of RFC 2217";
  model.ChooseEntry(0, 0);
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_NE(model.Status().find(port_.failureText + "."), std::string::npos) << model.Status();
}

TEST_F(SerialDevicesModelTest, ATypedPathThatIsNotAFullPathAppliesNothing) {
  SerialDevicesModel& model = Open({"/dev/ttyUSB0", "", "", ""});
  model.TypePath(0, "ttyUSB1");
  const std::string advice =
      "Type the device's full path, such as /dev/ttyUSB0, or a serial device server as "
      "rfc2217://HOST:PORT.";
  EXPECT_EQ(model.Rows()[0].access, advice);
  EXPECT_FALSE(model.ApplyClick());
  EXPECT_EQ(model.Status(), "COM1: " + advice + " Nothing was applied.");
  EXPECT_EQ(ComPortMap(ports_.File()).DevicePathFor("COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(Opens(), 0);
}

TEST_F(SerialDevicesModelTest, RefreshKeepsTheChoicesMadeAndOpeningAgainDropsThem) {
  SerialDevicesModel& model = Open({});
  model.TypePath(1, "/dev/ttyACM0");
  tree_.AddUsbAdapter("ttyACM0", "Arduino (www.arduino.cc)", "Uno", "");
  model.RefreshClick();
  EXPECT_EQ(model.Rows()[1].entries[1], "Arduino (www.arduino.cc) Uno (ttyACM0)");
  EXPECT_TRUE(model.Rows()[1].typed);
  EXPECT_EQ(model.Rows()[1].device, "/dev/ttyACM0");
  model.FormShow();
  EXPECT_EQ(model.Rows()[1].entry, 0);
  EXPECT_EQ(model.Rows()[1].device, "/dev/ttyS1");
}

TEST_F(SerialDevicesModelTest, OnWindowsEveryPortIsListedByItsNameAndAnAbsentOneShowsAbsent) {
  // The serial device map and the Ports class, as Windows gives them: unordered, a printer port
  // among them, one friendly name without the port's name in it.
  windowsPorts_ =
      MergeSystemPorts({"COM12", "COM7", "COM1", "COM7"}, {{"COM7", "USB Serial Port (COM7)"},
                                                           {"COM12", "Prolific USB-to-Serial"},
                                                           {"LPT1", "Printer Port (LPT1)"},
                                                           {"COM3", ""}});
  SerialDevicesModel& model = Open({"COM7", "COM9", "", ""}, &windows_);
  const auto& rows = model.Rows();
  EXPECT_EQ(rows[0].entries,
            (std::vector<std::string>{"Default: COM1", "COM1", "COM3", "USB Serial Port (COM7)",
                                      "Prolific USB-to-Serial (COM12)", "A port typed in"}));
  EXPECT_EQ(rows[0].entry, 3);
  EXPECT_EQ(rows[0].device, "COM7");
  EXPECT_TRUE(rows[0].mayOpen);
  // A kept adapter that is not plugged in is shown as the name it is, and as absent.
  EXPECT_TRUE(rows[1].typed);
  EXPECT_EQ(rows[1].typedPath, "COM9");
  EXPECT_FALSE(rows[1].mayOpen);
  EXPECT_EQ(rows[1].access,
            "Windows has no such port now: plug the adapter in, or check the name.");
  EXPECT_EQ(rows[3].device, "COM4");
  EXPECT_FALSE(rows[3].mayOpen);

  // A port typed as Windows's own forms name it is kept by its name; the port opens past COM9.
  model.TypePath(1, "com12");
  model.TypePath(2, "\\\\.\\COM3");
  EXPECT_TRUE(rows[2].mayOpen);
  model.ChooseEntry(0, 4);
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(ports_.Choices(), (DeviceChoices{"COM12", "COM12", "COM3", ""}));
  EXPECT_EQ(ports_.DevicePathFor("COM1"), "\\\\.\\COM12");
  EXPECT_EQ(Opens(), 1);
  EXPECT_EQ(model.Status(),
            "Kept for your next start in " + ports_.File().string() + ". COM1 is open on COM12.");
}

TEST_F(SerialDevicesModelTest, ADeviceChangeRefreshesTheListWhenAPortCameOrWent) {
  windowsPorts_ = {{"COM7", ""}};
  SerialDevicesModel& model = Open({"", "COM12", "", ""}, &windows_);
  const auto& com2 = model.Rows()[1];
  EXPECT_FALSE(com2.mayOpen);
  const int shown = shown_;
  model.DevicesChanged();
  EXPECT_EQ(shown_, shown) << "nothing came or went";

  windowsPorts_.push_back({"COM12", "USB Serial Port (COM12)"});  // plugged in
  model.DevicesChanged();
  EXPECT_EQ(shown_, shown + 1);
  EXPECT_FALSE(com2.typed);
  EXPECT_EQ(com2.entries[static_cast<std::size_t>(com2.entry)], "USB Serial Port (COM12)");
  EXPECT_TRUE(com2.mayOpen);

  windowsPorts_.pop_back();  // pulled
  model.DevicesChanged();
  EXPECT_TRUE(com2.typed);
  EXPECT_FALSE(com2.mayOpen);
  EXPECT_EQ(ports_.Choices()[1], "COM12") << "the choice outlives the adapter";
}

TEST_F(SerialDevicesModelTest, AServerTypedInIsKeptLikeADeviceAndTheRowTellsHowToSetItUp) {
  for (const SerialDeviceSource* source : {static_cast<const SerialDeviceSource*>(&devices_),
                                           static_cast<const SerialDeviceSource*>(&windows_)}) {
    SerialDevicesModel& model = Open({}, source);
    model.TypePath(1, "rfc2217://bench-7:3001");
    model.TypePath(1, "rfc2217://bench-7");
    EXPECT_FALSE(model.Rows()[1].mayOpen);
    EXPECT_FALSE(model.ApplyClick());
    EXPECT_EQ(model.Status(),
              "COM2: Type the server as rfc2217://HOST:PORT, such as "
              "rfc2217://192.168.0.20:3001. Nothing was applied.");

    model.TypePath(1, " rfc2217://[::1]:3001 ");
    const DeviceRowView& row = model.Rows()[1];
    EXPECT_TRUE(row.mayOpen) << "no server is asked before the port opens";
    EXPECT_NE(row.access.find("RFC 2217"), std::string::npos) << row.access;
    EXPECT_NE(row.access.find("accepter: telnet(rfc2217),tcp,"), std::string::npos);
    EXPECT_NE(row.access.find("never acknowledges a modem-line request"), std::string::npos);
    ASSERT_TRUE(model.ApplyClick());
    EXPECT_EQ(ports_.Choices()[1], "rfc2217://[::1]:3001");
    EXPECT_EQ(ComPortMap(ports_.File()).Choices()[1], "rfc2217://[::1]:3001");
    EXPECT_EQ(Opens(), 0) << "COM2 is not the port in use";
  }
}

}  // namespace
