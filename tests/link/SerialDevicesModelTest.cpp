// The "Serial devices" dialog's logic over a fake device tree, a kept choice in a scratch folder
// and recorded serial services: what each row offers and says, and what Apply keeps and reopens.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "link/PortDriver.h"
#include "link/SerialDevicesModel.h"
#include "tests/link/FakeDeviceTree.h"
#include "tests/link/FakePort.h"
#include "tests/link/Recorders.h"

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

  SerialDevicesModel& Open(const DeviceChoices& kept) {
    EXPECT_TRUE(ports_.Keep(kept));
    driver_.FormCreate();
    port_.calls.clear();
    model_ = std::make_unique<SerialDevicesModel>(devices_, ports_, driver_, stranger_);
    return *model_;
  }
  int Opens() const {
    return static_cast<int>(std::count(port_.calls.begin(), port_.calls.end(), "Open COM1"));
  }

  FakeDeviceTree tree_;
  DeviceTree devices_{tree_.Root()};
  TempDir dir_;
  ComPortMap ports_{dir_.Path() / "qzr71" / "serial-devices.json"};
  FakePort port_;
  RecordingBoxes boxes_;
  PortDriver driver_{port_, boxes_, dir_.Path() / "comm.ini"};
  UserIdentity stranger_{4243, {4243}, {4243}, false};  // in none of the devices' groups
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
  driver_.SelRsBpsClick(2);  // pending in the settings dialog, not yet selected

  model.ChooseEntry(1, 1);
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(Opens(), 0) << "COM2 is not the port in use";
  EXPECT_EQ(ComPortMap(ports_.File()).DevicePathFor("COM2"), kAdapter);

  model.TypePath(0, "  /dev/pts/5 ");
  ASSERT_TRUE(model.ApplyClick());
  EXPECT_EQ(Opens(), 1);
  EXPECT_EQ(port_.calls.front(), "Close");
  EXPECT_TRUE(driver_.PortOpen);
  EXPECT_EQ(port_.configured.BaudRate, 9600u) << "reopened with the committed settings";
  EXPECT_EQ(driver_.Pending.BaudRate, 19200);
  EXPECT_EQ(driver_.SelRsBpsIndex, 2);
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
  EXPECT_FALSE(driver_.PortOpen);
  EXPECT_EQ(boxes_.shown.back(),
            (ShownBox{"CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:d", "RS232C PORT"}));
  EXPECT_NE(model.Status().find(std::string("COM1 could not be opened on ") + kAdapter + "."),
            std::string::npos);
}

TEST_F(SerialDevicesModelTest, ATypedPathThatIsNotAFullPathAppliesNothing) {
  SerialDevicesModel& model = Open({"/dev/ttyUSB0", "", "", ""});
  model.TypePath(0, "ttyUSB1");
  EXPECT_EQ(model.Rows()[0].access, "Type the device's full path, such as /dev/ttyUSB0.");
  EXPECT_FALSE(model.ApplyClick());
  EXPECT_EQ(model.Status(),
            "COM1: Type the device's full path, such as /dev/ttyUSB0. Nothing was applied.");
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

}  // namespace
