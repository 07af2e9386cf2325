// The settings dialog's logic and the port driver's steps under it, over recorded serial
// services.

#include <gtest/gtest.h>

#include "link/PortDriver.h"
#include "link/PortText.h"
#include "link/SettingsFile.h"
#include "run/PortSettingsModel.h"
#include "tests/link/FakePort.h"
#include "tests/support/Recorders.h"

namespace {

using Calls = std::vector<std::string>;

class PortDialog : public testing::Test {
 protected:
  std::filesystem::path File() const { return dir.Path() / "comm.ini"; }
  void Start(const std::string& fileBytes) {
    WriteBytes(File(), fileBytes);
    settings.FormCreate();
  }
  struct Groups {
    int com, bps, stop;
    friend bool operator==(const Groups&, const Groups&) = default;
  };
  Groups GroupsNow() const {
    return {settings.SelRsComIndex, settings.SelRsBpsIndex, settings.SelStopBitIndex};
  }

  TempDir dir;
  FakePort port;
  RecordingBoxes boxes;
  PortDriver driver{port};
  PortSettingsModel settings{driver, boxes, dir.Path() / "comm.ini"};
};

TEST_F(PortDialog, WithoutAFileStartsWithTheDefaultsAndWritesThem) {
  int groupChanges = 0;
  settings.SetGroupsObserver([&] { ++groupChanges; });
  settings.FormCreate();
  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{"Can not open file", "READ FILE"}}));
  EXPECT_EQ(groupChanges, 1);
  EXPECT_EQ(settings.PortName, "COM1");
  EXPECT_EQ(settings.Pending, (PortSettings{9600, 2, 8, 0}));
  EXPECT_EQ(settings.Committed, settings.Pending);
  EXPECT_EQ(GroupsNow(), (Groups{0, 1, 0}));
  EXPECT_TRUE(driver.IsOpen());
  EXPECT_EQ(ReadBytes(File()),
            "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_9600\r\nCOMPORT:COM1\r\n"
            "STOPBIT:ONESTOPBIT\r\n");
}

TEST_F(PortDialog, OpeningSavesPurgesAndConfiguresTheDocumentedLine) {
  Start(SettingsFileText(2, 1, 1));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(port.calls, (Calls{"Open COM2", "Purge transmit receive", "GetCommState",
                               "SetCommState", "SetCommTimeouts"}));
  const Dcb& dcb = port.configured;
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, kEvenParity);
  EXPECT_EQ(dcb.StopBits, kTwoStopBits);
  EXPECT_TRUE(dcb.fBinary && dcb.fParity && dcb.fAbortOnError);
  EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX || dcb.fErrorChar ||
               dcb.fNull);
  EXPECT_EQ(dcb.fDtrControl, kControlEnable);
  EXPECT_EQ(dcb.fRtsControl, kControlEnable);
  EXPECT_EQ(port.timeouts.ReadTotalTimeoutConstant, 500u);
  EXPECT_EQ(port.timeouts.ReadTotalTimeoutMultiplier, 5u);
}

TEST_F(PortDialog, ARefusedConfigurationClosesThePortAfterTheFileWasWritten) {
  port.configureFails = true;
  port.error = 0x490;
  settings.FormCreate();
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(port.calls.back(), "Close");
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:490");
  EXPECT_TRUE(std::filesystem::exists(File()));
}

TEST_F(PortDialog, WritesAndReadsWrapTheTransferAsDocumented) {
  Start(SettingsFileText(1, 0, 0));
  port.calls.clear();
  const std::uint8_t frame[3] = {0x10, 0x01, 0xA2};
  std::uint8_t reply[4] = {};
  EXPECT_TRUE(driver.WritePort(3, frame));
  EXPECT_EQ(driver.ReadPort(4, reply), 2u);
  EXPECT_EQ(port.calls, (Calls{"Purge transmit receive", "ClearCommError", "Write 3", "Read 4",
                               "Purge receive"}));

  port.calls.clear();
  port.writeFails = true;
  port.readFails = true;  // a line error: the read fails until the error state is cleared
  EXPECT_FALSE(driver.WritePort(3, frame));
  EXPECT_EQ(driver.ReadPort(4, reply), 0u);
  EXPECT_EQ(port.calls, (Calls{"Purge transmit receive", "ClearCommError", "Write 3",
                               "ClearCommError", "Read 4", "ClearCommError", "Purge receive"}));
}

TEST_F(PortDialog, GroupClicksChangeOnlyThePendingSettings) {
  Start(SettingsFileText(1, 0, 0));
  port.calls.clear();
  settings.SelRsComClick(1);
  settings.SelRsBpsClick(0);
  settings.SelStopBitClick(1);
  EXPECT_TRUE(port.calls.empty());
  EXPECT_EQ(settings.PortName, "COM2");
  EXPECT_EQ(settings.Pending, (PortSettings{2400, 2, 8, 2}));
  EXPECT_EQ(settings.Committed, (PortSettings{9600, 2, 8, 0}));
  EXPECT_EQ(settings.CommittedPortName, "COM1");
}

TEST_F(PortDialog, SelectClosesTheOldPortOpensTheNewOneAndCommits) {
  Start(SettingsFileText(1, 0, 0));
  port.calls.clear();
  settings.SelRsComClick(1);
  settings.SelStopBitClick(1);
  EXPECT_TRUE(settings.OkBtnClick());
  EXPECT_EQ(port.calls.front(), "Close");
  EXPECT_EQ(port.calls[1], "Open COM2");
  EXPECT_TRUE(driver.IsOpen());
  EXPECT_EQ(settings.Committed, settings.Pending);
  EXPECT_EQ(settings.CommittedPortName, "COM2");
  EXPECT_EQ(ReadBytes(File()), SettingsFileText(1, 1, 1));

  // The next start reads the two stop bits back.
  FakePort nextPort;
  RecordingBoxes nextBoxes;
  PortDriver nextDriver(nextPort);
  PortSettingsModel next(nextDriver, nextBoxes, File());
  next.FormCreate();
  EXPECT_EQ(next.Pending.StopBits, kTwoStopBits);
  EXPECT_EQ(next.PortName, "COM2");
}

TEST_F(PortDialog, CanselAfterAFailedSelectRestoresTheGroupsButLeavesThePortClosed) {
  Start(SettingsFileText(2, 0, 1));
  int groupChanges = 0;
  settings.SetGroupsObserver([&] { ++groupChanges; });
  settings.SelRsComClick(1);
  settings.SelRsBpsClick(0);
  settings.SelStopBitClick(0);
  port.openFails = true;
  port.error = 2;
  EXPECT_FALSE(settings.OkBtnClick());
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(boxes.shown.back(), (ShownBox{PortFailureText(2), "RS232C PORT"}));
  EXPECT_EQ(settings.PortName, "COM2") << "a failed Select keeps the choice";

  port.calls.clear();
  settings.CloseBtnClick();
  EXPECT_EQ(groupChanges, 1);
  EXPECT_EQ(GroupsNow(), (Groups{0, 2, 1}));
  EXPECT_EQ(settings.PortName, "COM1");
  EXPECT_EQ(settings.Pending, (PortSettings{19200, 2, 8, 2}));
  EXPECT_TRUE(port.calls.empty());
  EXPECT_FALSE(driver.IsOpen());
}

TEST_F(PortDialog, AFileNamingCom3KeepsCom3) {
  Start(SettingsFileText(1, 2, 0));
  EXPECT_EQ(port.calls.front(), "Open COM3");
  EXPECT_EQ(settings.SelRsComIndex, 1) << "the two-entry group shows its last entry";
  EXPECT_EQ(ReadBytes(File()), SettingsFileText(1, 2, 0))
      << "the port that was opened is the port the next start opens";

  // Cansel keeps COM3 too, and so does a Select that did not touch the port group.
  settings.CloseBtnClick();
  EXPECT_EQ(settings.PortName, "COM3");
  settings.SelRsBpsClick(2);
  EXPECT_TRUE(settings.OkBtnClick());
  EXPECT_EQ(ReadBytes(File()), SettingsFileText(2, 2, 0));
  // Choosing a port in the group is what moves it.
  settings.SelRsComClick(1);
  EXPECT_TRUE(settings.OkBtnClick());
  EXPECT_EQ(ReadBytes(File()), SettingsFileText(2, 1, 0));
}

TEST_F(PortDialog, AFileThatCannotBeWrittenIsReportedAndThePortStillOpens) {
  TempDir elsewhere;
  PortDriver homelessDriver(port);
  PortSettingsModel homeless(homelessDriver, boxes, elsewhere.Path() / "gone" / "comm.ini");
  homeless.FormCreate();
  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{"Can not open file", "READ FILE"},
                                                {"Can not open file", "WRITE FILE"}}));
  EXPECT_TRUE(homelessDriver.IsOpen());
}

TEST_F(PortDialog, ADirectoryInPlaceOfTheFileIsNeitherReadNorWritten) {
  std::filesystem::create_directory(File());
  settings.FormCreate();
  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{"Can not open file", "READ FILE"},
                                                {"Can not open file", "WRITE FILE"}}));
  EXPECT_EQ(settings.Pending, (PortSettings{9600, 2, 8, 0}));
  EXPECT_TRUE(std::filesystem::is_directory(File()));
}

}  // namespace
