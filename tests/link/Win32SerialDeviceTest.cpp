// The port driver over the Windows serial device, run under Wine against the simulated head on
// the prefix's COM1: the port's own read time-outs, exclusive use, a pulled cable, the line
// settings as the port keeps them, and the error number a missing port shows.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/ComPortPath.h"
#include "link/PortDriver.h"
#include "link/PortText.h"
#include "link/Primitives.h"
#include "link/SerialDevice.h"
#include "link/SettingsFile.h"
#include "run/PortSettingsModel.h"
#include "tests/support/Recorders.h"
#include "tests/support/SimulatedHead.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr auto kLateAllowance = 50ms;  // a guard against a broken time-out, not a speed goal

template <typename Action>
Clock::duration TimeOf(Action&& action) {
  const auto start = Clock::now();
  action();
  return Clock::now() - start;
}

class PortOnCom1 : public testing::Test {
 protected:
  void Start(const std::string& scenario, const std::string& settings = SettingsFileText(1, 0, 0)) {
    std::vector<std::string> options{"--seed", "7"};
    if (!scenario.empty())
      options.insert(options.end(), {"--scenario", SimulatedHead::Scenario(scenario)});
    head_.emplace(options);
    WriteBytes(dir_.Path() / "comm.ini", settings);
    settings_.FormCreate();
    ASSERT_TRUE(driver_.IsOpen());
    ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown[0].text;
  }

  void TearDown() override {
    device_.Close();
    if (head_) {
      EXPECT_EQ(head_->Stop(), 0);
    }
  }

  bool Send(std::uint8_t byte) { return driver_.WritePort(1, &byte); }

  TempDir dir_;
  std::optional<SimulatedHead> head_;
  SerialDevice device_;
  RecordingBoxes boxes_;
  PortDriver driver_{device_};
  PortSettingsModel settings_{driver_, boxes_, dir_.Path() / "comm.ini"};
};

class ReadTimeout : public PortOnCom1, public testing::WithParamInterface<int> {};

TEST_P(ReadTimeout, EndsAtThePortsDeadlineNeverEarly) {
  Start("no-answer.scn");
  const auto count = static_cast<std::uint8_t>(GetParam());
  const auto expected = std::chrono::milliseconds(500 + 5 * count);
  Bytes buffer(count);
  std::uint32_t got = 99;
  ASSERT_TRUE(Send(head::kCmdReadStoredData));
  const auto took = TimeOf([&] { got = driver_.ReadPort(count, buffer.data()); });
  EXPECT_EQ(got, 0u);
  EXPECT_GE(took, expected);
  EXPECT_LT(took, expected + kLateAllowance);
}

INSTANTIATE_TEST_SUITE_P(SilentHead, ReadTimeout, testing::Values(1, 160));

TEST_F(PortOnCom1, AShortReplyReturnsWhatArrivedByTheDeadline) {
  Start("");
  ASSERT_TRUE(Send(head::kCmdReadStoredData));
  Bytes buffer(5, 0);
  std::uint32_t got = 0;
  const auto took = TimeOf([&] { got = driver_.ReadPort(5, buffer.data()); });
  EXPECT_EQ(got, 1u) << "the ACK, not nothing: a time-out is no failure";
  EXPECT_EQ(buffer, (Bytes{head::kAck, 0, 0, 0, 0}));
  EXPECT_GE(took, 525ms);
}

TEST_F(PortOnCom1, BytesAfterTheReplyAreDiscarded) {
  Start("extra-bytes-after-replies.scn");
  ASSERT_TRUE(Send(head::kCmdReadStoredData));
  std::this_thread::sleep_for(50ms);
  std::uint8_t byte = 0;
  EXPECT_EQ(driver_.ReadPort(1, &byte), 1u);
  EXPECT_EQ(byte, head::kAck);
  EXPECT_EQ(driver_.ReadPort(1, &byte), 0u) << "the two stray bytes should have been purged";
}

TEST_F(PortOnCom1, TheWindowRepaintsWhileAReadWaitsWithoutMakingItLate) {
  Start("no-answer.scn");
  CountingPump pump;
  driver_.SetIdlePump(&pump);
  std::uint8_t byte = 0;
  const auto took = TimeOf([&] { driver_.ReadPort(1, &byte); });
  EXPECT_GE(pump.pumps, 15);
  EXPECT_LE(pump.pumps, 26);
  EXPECT_GE(took, 505ms);
  EXPECT_LT(took, 505ms + kLateAllowance);
}

TEST_F(PortOnCom1, KeepsTheLineSettingsItWasGiven) {
  Start("", SettingsFileText(2, 0, 1));
  Dcb line;
  ASSERT_TRUE(device_.GetCommState(line));
  EXPECT_EQ(line.BaudRate, 19200u);
  EXPECT_EQ(line.ByteSize, 8);
  EXPECT_EQ(line.StopBits, kTwoStopBits);
  // Not the parity: a pseudo-terminal has no line to carry it and reads back none.
  EXPECT_FALSE(line.fOutxCtsFlow || line.fOutX || line.fInX);
}

TEST_F(PortOnCom1, IsTheToolsAloneUntilClosed) {
  Start("");
  SerialDevice other;
  RecordingBoxes otherBoxes;
  PortDriver otherDriver(other);
  PortSettingsModel otherSettings(otherDriver, otherBoxes, dir_.Path() / "comm.ini");
  EXPECT_FALSE(otherSettings.OpenPort());
  EXPECT_EQ(otherBoxes.shown, (std::vector<ShownBox>{{PortFailureText(5), "RS232C PORT"}}));
  device_.Close();
  // Only the port itself: a pseudo-terminal under Wine takes even parity once and then refuses
  // it, which is no matter of who holds the port.
  EXPECT_TRUE(other.Open("COM1")) << "free again once the first has closed it";
}

TEST_F(PortOnCom1, APulledCableFailsAtOnceAndTheNextStartReachesTheNewLine) {
  Start("pulled-cable-at-start.scn");
  CountingBell bell;
  const auto took =
      TimeOf([&] { EXPECT_EQ(SendCommand(driver_, bell, head::kCmdReadStoredData), 0); });
  EXPECT_LT(took, 200ms) << "no read waits for its time-out on a dead line";
  EXPECT_EQ(bell.rings, 1) << "the retry's write fails at once";
  EXPECT_TRUE(device_.LineLost()) << device_.LastError();

  // Half a second later the head offers a new line, as when the cable is plugged in again; the
  // next Start opens it, with no Select.
  bool reopened = false;
  for (int attempt = 0; attempt < 60 && !reopened; ++attempt) {
    std::this_thread::sleep_for(50ms);
    boxes_.shown.clear();
    settings_.RunStarting();
    reopened = driver_.IsOpen();
  }
  ASSERT_TRUE(reopened);
  EXPECT_EQ(SendCommand(driver_, bell, head::kCmdReadStoredData), 1);
}

TEST(Win32PortNames, ComNIsTheDeviceOfThatNameUnlessTheEnvironmentSaysOtherwise) {
  _putenv_s("QZR71_COM2", "");
  _putenv_s("QZR71_COM3", "\\\\.\\COM9");
  EXPECT_EQ(DevicePathFor("COM2"), "\\\\.\\COM2");
  EXPECT_EQ(DevicePathFor("COM3"), "\\\\.\\COM9");

  TempDir dir;
  RecordingBoxes boxes;
  SerialDevice device;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  WriteBytes(dir.Path() / "comm.ini", SettingsFileText(1, 2, 0));
  settings.FormCreate();
  EXPECT_FALSE(driver.IsOpen());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], (ShownBox{PortFailureText(2), "RS232C PORT"})) << "file not found";
  _putenv_s("QZR71_COM3", "");
}

}  // namespace
