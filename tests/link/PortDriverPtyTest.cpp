// The port driver over the real termios device, with the test playing the head on the master side
// of a pseudo-terminal.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "link/PortDriver.h"
#include "link/PortText.h"
#include "link/Primitives.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/link/AcknowledgingHead.h"
#include "tests/support/CpuTime.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr auto kLateAllowance = 50ms;  // a guard against a broken deadline, not a speed goal

template <typename Action>
Clock::duration TimeOf(Action&& action) {
  const auto start = Clock::now();
  action();
  return Clock::now() - start;
}

class PortOnPty : public testing::Test {
 protected:
  void SetUp() override {
    setenv("QZR71_COM1", pty.SlavePath().c_str(), 1);
    WriteBytes(SettingsFile(),
               "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_9600\r\n"
               "COMPORT:COM1\r\nSTOPBIT:ONESTOPBIT\r\n");
    settings.FormCreate();
    ASSERT_TRUE(driver.IsOpen());
    ASSERT_TRUE(boxes.shown.empty());
  }
  void TearDown() override { unsetenv("QZR71_COM1"); }

  std::filesystem::path SettingsFile() const { return dir.Path() / "comm.ini"; }

  PtyPair pty;
  TempDir dir;
  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver{device};
  PortSettingsModel settings{driver, boxes, dir.Path() / "comm.ini"};
};

// --- time-outs --------------------------------------------------------------------------------

class ReadTimeout : public PortOnPty, public testing::WithParamInterface<int> {};

TEST_P(ReadTimeout, EndsAtItsDeadlineNeverEarly) {
  const auto count = static_cast<std::uint8_t>(GetParam());
  const auto expected = std::chrono::milliseconds(500 + 5 * count);
  Bytes buffer(count);
  std::uint32_t got = 99;
  const auto took = TimeOf([&] { got = driver.ReadPort(count, buffer.data()); });
  EXPECT_EQ(got, 0u);
  EXPECT_GE(took, expected);
  EXPECT_LT(took, expected + kLateAllowance);
  EXPECT_FALSE(device.LineLost()) << "a silent head is no lost line";
}

INSTANTIATE_TEST_SUITE_P(SilentHead, ReadTimeout, testing::Values(1, 40));

TEST_F(PortOnPty, ShortReplyReturnsWhatArrivedByTheDeadline) {
  pty.Send({0x41, 0x42, 0x43});
  Bytes buffer(5, 0);
  std::uint32_t got = 0;
  const auto took = TimeOf([&] { got = driver.ReadPort(5, buffer.data()); });
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(buffer, (Bytes{0x41, 0x42, 0x43, 0, 0}));
  EXPECT_GE(took, 525ms);
}

TEST_F(PortOnPty, FullReplyReturnsWithoutWaitingAndExtraBytesAreDiscarded) {
  pty.Send({1, 2, 3, 4, 5});
  std::this_thread::sleep_for(20ms);
  Bytes buffer(2);
  std::uint32_t got = 0;
  const auto took = TimeOf([&] { got = driver.ReadPort(2, buffer.data()); });
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buffer, (Bytes{1, 2}));
  EXPECT_LT(took, 100ms);

  std::uint8_t next = 0;
  EXPECT_EQ(driver.ReadPort(1, &next), 0u) << "bytes 3..5 should have been purged";
}

// A second answer to a retried request, or stray bytes after a reply, must not be read as the
// start of the next request's answer.
TEST_F(PortOnPty, BytesThatArrivedBeforeAWriteAreNotTakenForItsAnswer) {
  pty.Send({head::kAck, 0x42});
  std::this_thread::sleep_for(20ms);
  const std::uint8_t request = head::kEnq;
  ASSERT_TRUE(driver.WritePort(1, &request));
  EXPECT_EQ(pty.Receive(1), Bytes{head::kEnq});
  pty.Send({0x4F, 0x4B});
  Bytes answer(2);
  EXPECT_EQ(driver.ReadPort(2, answer.data()), 2u);
  EXPECT_EQ(answer, (Bytes{0x4F, 0x4B}));
}

// A head that answers late answers the retransmission too: the first answer ends the retry's
// read, and the second, a little later, must not become the next request's answer.
TEST_F(PortOnPty, TheSecondAnswerToARetriedRequestIsNotTakenForTheNextOne) {
  Bytes buffer(1);
  EXPECT_EQ(driver.ReadPort(1, buffer.data()), 0u) << "the first attempt goes unanswered";
  std::atomic<bool> lateAnswerSent{false};
  std::thread head([this, &lateAnswerSent] {
    pty.Send({head::kAck});
    std::this_thread::sleep_for(2ms);
    pty.Send({head::kAck});
    lateAnswerSent = true;
    EXPECT_EQ(pty.Receive(1), Bytes{head::kEnq});
    pty.Send({0x4F, 0x4B});
  });
  EXPECT_EQ(driver.ReadPort(1, buffer.data()), 1u);
  // The late answer is on the line before the next request goes out, however long a loaded
  // machine kept the head's thread from sending it and the terminal from passing it on.
  while (!lateAnswerSent) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);
  const std::uint8_t request = head::kEnq;
  ASSERT_TRUE(driver.WritePort(1, &request));
  Bytes answer(2);
  EXPECT_EQ(driver.ReadPort(2, answer.data()), 2u);
  EXPECT_EQ(answer, (Bytes{0x4F, 0x4B}));
  head.join();
}

TEST_F(PortOnPty, EveryByteValueArrivesIntact) {
  Bytes all(256);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(255 - i);
  for (std::size_t start = 0; start < all.size(); start += 128) {
    const Bytes chunk(all.begin() + static_cast<long>(start),
                      all.begin() + static_cast<long>(start + 128));
    pty.Send(chunk);
    Bytes buffer(128);
    ASSERT_EQ(driver.ReadPort(128, buffer.data()), 128u);
    EXPECT_EQ(buffer, chunk);
    ASSERT_TRUE(driver.WritePort(128, chunk.data()));
    EXPECT_EQ(pty.Receive(128), chunk);
  }
}

TEST_F(PortOnPty, IdlePumpRunsWhileWaitingWithoutMakingTheReadLate) {
  CountingPump pump;
  driver.SetIdlePump(&pump);
  std::uint8_t answer = 0;
  const auto took = TimeOf([&] { driver.ReadPort(1, &answer); });
  // Every 20 ms when the machine is quiet; a loaded one stretches the waits, so the floor asks
  // only for a window that still repaints at least every 50 ms.
  EXPECT_GE(pump.pumps, 10);
  EXPECT_LE(pump.pumps, 26);
  EXPECT_GE(took, 505ms);
  EXPECT_LT(took, 505ms + kLateAllowance);
}

// --- hang-up ----------------------------------------------------------------------------------

TEST_F(PortOnPty, HangUpFailsTheReadAtOnceWithoutSpinning) {
  std::thread unplug([this] {
    std::this_thread::sleep_for(100ms);
    pty.CloseMaster();
  });
  const double cpuBefore = CpuSeconds();
  Bytes buffer(160);
  std::uint32_t got = 99;
  const auto took = TimeOf([&] { got = driver.ReadPort(160, buffer.data()); });
  unplug.join();
  EXPECT_EQ(got, 0u);
  // Bounds wide enough for a loaded machine, still well short of what waiting would take.
  EXPECT_LT(took, 1000ms) << "the read should not wait for its 1300 ms deadline";

  // Every later exchange fails fast as well, and none of it burns the processor.
  CountingBell bell;
  const auto retries = TimeOf([&] { EXPECT_EQ(SendCommand(driver, bell, head::kEnq), 0); });
  EXPECT_LT(retries, 1000ms) << "four tries that each waited would take over 2 s";
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.2);
  EXPECT_TRUE(device.LineLost());
}

// --- opening ----------------------------------------------------------------------------------

TEST_F(PortOnPty, APortHeldByAnotherOpenerIsBusy) {
  TermiosSerialDevice second;
  RecordingBoxes secondBoxes;
  TempDir secondDir;
  PortDriver other(second);
  PortSettingsModel otherSettings(other, secondBoxes, secondDir.Path() / "comm.ini");
  otherSettings.FormCreate();
  EXPECT_FALSE(other.IsOpen());
  const int error = second.LastError();
  EXPECT_TRUE(error == EBUSY || error == EWOULDBLOCK) << error;
  ASSERT_EQ(secondBoxes.shown.size(), 2u);  // READ FILE (no file there), then the port
  EXPECT_EQ(secondBoxes.shown[1], (ShownBox{PortFailureText(error), "RS232C PORT"}));

  // Once the port is let go, the other opener's next Start takes it, with no Select.
  device.Close();
  otherSettings.RunStarting();
  EXPECT_TRUE(other.IsOpen());
}

TEST_F(PortOnPty, APortHeldByAnotherProcessIsBusyUntilItLetsGo) {
  device.Close();
  int toParent[2];
  int toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TermiosSerialDevice holder;
    const char opened = holder.Open("COM1") ? 'y' : 'n';
    if (::write(toParent[1], &opened, 1) != 1) _exit(2);
    char done = 0;
    (void)::read(toChild[0], &done, 1);  // hold the port until the parent has tried
    holder.Close();
    _exit(0);
  }
  char opened = 0;
  ASSERT_EQ(::read(toParent[0], &opened, 1), 1);
  ASSERT_EQ(opened, 'y');

  EXPECT_FALSE(settings.OkBtnClick());
  const int error = device.LastError();
  EXPECT_TRUE(error == EBUSY || error == EWOULDBLOCK) << error;
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], (ShownBox{PortFailureText(error), "RS232C PORT"}));

  const char done = 'x';
  ASSERT_EQ(::write(toChild[1], &done, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
  EXPECT_TRUE(settings.OkBtnClick()) << "free again once the other process has exited";
}

TEST_F(PortOnPty, SelectReopensTheSamePseudoTerminalAgainAndAgain) {
  for (int round = 0; round < 3; ++round) {
    settings.SelStopBitClick(round % 2);
    ASSERT_TRUE(settings.OkBtnClick()) << "round " << round;
  }
  EXPECT_TRUE(boxes.shown.empty());
  const std::uint8_t frame[] = {0x10, 0x01, 0xA2};
  ASSERT_TRUE(driver.WritePort(3, frame));
  EXPECT_EQ(pty.Receive(3), Bytes(frame, frame + 3));
}

TEST_F(PortOnPty, TwoStopBitsAreTwoNotOneAndAHalf) {
  settings.SelStopBitClick(1);
  ASSERT_TRUE(settings.OkBtnClick());
  EXPECT_EQ(driver.LineInForce()->StopBits, kTwoStopBits);
  EXPECT_NE(device.LineSettings().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(device.LineSettings().c_cflag & PARENB, 0u) << "a pseudo-terminal keeps no parity";

  settings.SelStopBitClick(0);
  ASSERT_TRUE(settings.OkBtnClick());
  EXPECT_EQ(device.LineSettings().c_cflag & CSTOPB, 0u);
}

TEST_F(PortOnPty, ARefusedConfigurationClosesTheHalfOpenPort) {
  settings.SetBaudRate(12345);  // not a rate the port can do
  EXPECT_FALSE(settings.OkBtnClick());
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_FALSE(device.IsOpen());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], (ShownBox{PortFailureText(EINVAL), "RS232C PORT"}));

  // Nothing still holds the port: another opener gets it.
  TermiosSerialDevice other;
  EXPECT_TRUE(other.Open("COM1"));
}

TEST_F(PortOnPty, AClosedPortIsNeverWrittenThroughAReusedDescriptor) {
  settings.SetBaudRate(12345);
  ASSERT_FALSE(settings.OkBtnClick());
  // The descriptor number the port had is free now and goes to the next file opened.
  const auto bystander = dir.Path() / "bystander";
  WriteBytes(bystander, "");
  const int fd = ::open(bystander.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const std::uint8_t frame[] = {0x10, 0x01, 0xC4};
  EXPECT_FALSE(driver.WritePort(3, frame));
  std::uint8_t answer = 0;
  EXPECT_EQ(driver.ReadPort(1, &answer), 0u);
  ::close(fd);
  EXPECT_EQ(ReadBytes(bystander), "");
}

TEST(PortOpen, AMissingDeviceShowsItsErrorAndEveryExchangeFailsAtOnce) {
  setenv("QZR71_COM2", "/dev/qzr71-no-such-port", 1);
  TempDir dir;
  WriteBytes(dir.Path() / "comm.ini",
             "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_9600\r\n"
             "COMPORT:COM2\r\nSTOPBIT:ONESTOPBIT\r\n");
  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  settings.FormCreate();
  unsetenv("QZR71_COM2");

  EXPECT_FALSE(driver.IsOpen());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:2");
  EXPECT_EQ(boxes.shown[0].caption, "RS232C PORT");

  CountingBell bell;
  std::uint8_t reply[2] = {};
  const std::uint8_t enq = head::kEnq;
  const auto took = TimeOf([&] {
    EXPECT_EQ(SendCommand(driver, bell, head::kCmdEndReading), 0);
    EXPECT_EQ(SendFrame(driver, bell, head::OpeningFrame()), 0);
    EXPECT_EQ(QueryReply(driver, bell, 2, reply, 1, &enq), 0);
  });
  EXPECT_EQ(bell.rings, 0);
  EXPECT_LT(took, 50ms);
}

// --- many exchanges ---------------------------------------------------------------------------

TEST_F(PortOnPty, TenThousandExchangesNeedNoRetry) {
  constexpr int kExchanges = 10'000;
  CountingBell bell;
  int acknowledged = 0;
  std::atomic<long> received = 0;
  {
    AcknowledgingHead peer(pty.Master(), received);
    for (int i = 0; i < kExchanges; ++i) {
      acknowledged += SendCommand(driver, bell, head::kCmdEndReading);
    }
    const std::uint8_t stop = 0xFF;
    driver.WritePort(1, &stop);
  }
  EXPECT_EQ(acknowledged, kExchanges);
  EXPECT_EQ(bell.rings, 0);
  EXPECT_EQ(received.load(), kExchanges) << "each request reached the head exactly once";
}

}  // namespace
