// The settings dialog with the real port driver and the termios layer on pseudo-terminals that
// stand in for COM1 and COM2; the settings file lives in a scratch directory.
#include <gtest/gtest.h>

#include <memory>

#include <QPushButton>
#include <QRadioButton>

#include "console/RadioGroup.h"
#include "console/TRs232cForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

std::string SettingsText(const char* baud, const char* port, const char* stop) {
  return std::string("*** BILL VALIDATOR QZR-71 ***\r\n") + "BORDRATE:" + baud + "\r\n" +
         "COMPORT:" + port + "\r\n" + "STOPBIT:" + stop + "\r\n";
}

class SettingsDialogTest : public testing::Test {
 protected:
  SettingsDialogTest() {
    setenv("QZR71_COM1", com1_.SlavePath().c_str(), 1);
    setenv("QZR71_COM2", com2_.SlavePath().c_str(), 1);
  }
  ~SettingsDialogTest() override {
    form_.reset();
    for (const char* name : {"QZR71_COM1", "QZR71_COM2", "QZR71_COM3"}) unsetenv(name);
  }

  std::filesystem::path File() const { return dir_.Path() / "comm.ini"; }

  TRs232cForm& Create() {
    form_ = std::make_unique<TRs232cForm>(settings_, nullptr);
    form_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    return *form_;
  }

  void Choose(RadioGroup* group, int entry) {
    QTest::mouseClick(group->Entries()[entry], Qt::LeftButton);
  }

  std::array<int, 3> Groups() const {
    return {form_->SelRsCom->ItemIndex(), form_->SelRsBps->ItemIndex(),
            form_->SelStopBit->ItemIndex()};
  }

  // Whether nobody holds the port: a second opener gets it only then.
  static bool Free(const char* comName) {
    TermiosSerialDevice other;
    if (other.Open(comName)) return true;
    return other.LastError() != EBUSY && other.LastError() != EWOULDBLOCK;
  }

  PtyPair com1_;
  PtyPair com2_;
  TempDir dir_;
  TermiosSerialDevice device_;
  RecordingBoxes boxes_;
  PortDriver driver_{device_};
  PortSettingsModel settings_{driver_, boxes_, File()};
  std::unique_ptr<TRs232cForm> form_;
};

TEST_F(SettingsDialogTest, FirstStartWithoutAFileUsesTheDefaultsAndWritesThem) {
  TRs232cForm& form = Create();
  EXPECT_EQ(boxes_.shown, (std::vector<ShownBox>{{"Can not open file", "READ FILE"}}));
  EXPECT_EQ(Groups(), (std::array<int, 3>{0, 1, 0}));
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(ReadBytes(File()), SettingsText("CBR_9600", "COM1", "ONESTOPBIT"));

  EXPECT_EQ(form.windowTitle(), "Setting RS232C port");
  EXPECT_EQ(form.SelRsCom->title(), "Port Select");
  EXPECT_EQ(form.SelRsBps->title(), "Bordrate Select");
  EXPECT_EQ(form.SelStopBit->title(), "Stop bit");
  EXPECT_EQ(form.SelRsBps->Entries()[2]->text(), "19200 bps");
  EXPECT_EQ(form.SelStopBit->Entries()[1]->text(), "2 stop");
  EXPECT_EQ(form.OkBtn->text(), "Select");
  EXPECT_EQ(form.CloseBtn->text(), "Cansel");
  EXPECT_TRUE(form.OkBtn->isDefault());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(form.SelRsBps->accessibleName(), "Bordrate Select");
}

TEST_F(SettingsDialogTest, SelectReopensWithTheClickedChoicesAndRewritesTheFile) {
  TRs232cForm& form = Create();
  Choose(form.SelRsCom, 1);
  Choose(form.SelRsBps, 2);
  Choose(form.SelStopBit, 1);
  // Only the pending choice changed so far.
  EXPECT_EQ(ReadBytes(File()), SettingsText("CBR_9600", "COM1", "ONESTOPBIT"));
  EXPECT_FALSE(Free("COM1"));

  QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(settings_.CommittedPortName, "COM2");
  EXPECT_EQ(settings_.Committed.BaudRate, 19200);
  EXPECT_EQ(ReadBytes(File()), SettingsText("CBR_19200", "COM2", "TWOSTOPBIT"));
  EXPECT_TRUE(Free("COM1"));
  EXPECT_FALSE(Free("COM2"));
}

TEST_F(SettingsDialogTest, CanselPutsTheGroupsBackAndLeavesPortAndFileAlone) {
  TRs232cForm& form = Create();
  const std::string before = ReadBytes(File());
  Choose(form.SelRsCom, 1);
  Choose(form.SelRsBps, 0);
  Choose(form.SelStopBit, 1);
  QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Groups(), (std::array<int, 3>{0, 1, 0}));
  EXPECT_EQ(settings_.PortName, "COM1");
  EXPECT_EQ(settings_.Pending.BaudRate, 9600);
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_FALSE(Free("COM1"));
  EXPECT_EQ(ReadBytes(File()), before);
}

TEST_F(SettingsDialogTest, AFailedSelectKeepsTheDialogUpAndCanselLeavesThePortClosed) {
  TRs232cForm& form = Create();
  setenv("QZR71_COM2", (dir_.Path() / "no-such-port").c_str(), 1);
  boxes_.shown.clear();
  Choose(form.SelRsCom, 1);
  QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "RS232C PORT");
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(driver_.IsOpen());
  EXPECT_EQ(form.SelRsCom->ItemIndex(), 1);

  QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Groups(), (std::array<int, 3>{0, 1, 0}));
  EXPECT_EQ(settings_.PortName, "COM1");
  EXPECT_FALSE(driver_.IsOpen());
  EXPECT_TRUE(Free("COM1"));
  std::uint8_t byte = 0x05;
  EXPECT_FALSE(driver_.WritePort(1, &byte));
}

TEST_F(SettingsDialogTest, EnterSelectsAndEscCansels) {
  TRs232cForm& form = Create();
  ASSERT_TRUE(WaitForActive(&form));
  Choose(form.SelStopBit, 1);
  QTest::keyClick(&form, Qt::Key_Return);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(ReadBytes(File()), SettingsText("CBR_9600", "COM1", "TWOSTOPBIT"));

  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  Choose(form.SelStopBit, 0);
  Choose(form.SelRsBps, 0);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Groups(), (std::array<int, 3>{0, 1, 1}));
  EXPECT_EQ(ReadBytes(File()), SettingsText("CBR_9600", "COM1", "TWOSTOPBIT"));
}

TEST_F(SettingsDialogTest, TabGoesSelectCanselPortBaudRateStopBitsAndRoundAgain) {
  TRs232cForm& form = Create();
  ASSERT_TRUE(WaitForActive(&form));
  form.OkBtn->setFocus();
  // Which control has the focus: a button, or the group an entry of which has it.
  const auto focused = [&form]() -> QWidget* {
    QWidget* widget = QApplication::focusWidget();
    for (RadioGroup* group : {form.SelRsCom, form.SelRsBps, form.SelStopBit}) {
      if (widget != nullptr && group->isAncestorOf(widget)) return group;
    }
    return widget;
  };
  const std::vector<QWidget*> expected{form.CloseBtn, form.SelRsCom, form.SelRsBps, form.SelStopBit,
                                       form.OkBtn};
  std::vector<QWidget*> seen;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen.push_back(focused());
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(SettingsDialogTest, AFileNamingCom3OpensItWhileTheGroupShowsItsLastEntry) {
  setenv("QZR71_COM3", com2_.SlavePath().c_str(), 1);
  WriteBytes(File(), SettingsText("CBR_2400", "COM3", "TWOSTOPBITS"));
  Create();
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(Groups(), (std::array<int, 3>{1, 0, 1}));
  EXPECT_EQ(settings_.PortName, "COM3");
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_FALSE(Free("COM2"));
}

}  // namespace
