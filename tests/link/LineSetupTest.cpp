// Naming and configuring the port: device paths, the error text, terminal attributes and the
// line error state.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include "link/ComPortPath.h"
#include "link/LineErrorMonitor.h"
#include "link/LineSettings.h"
#include "link/PortText.h"

namespace {

TEST(DevicePathFor, UsesTheEnvironmentThenTheSystemsSerialPorts) {
  setenv("QZR71_COM3", "/dev/ttyUSB0", 1);
  setenv("QZR71_COM4", "", 1);
  unsetenv("QZR71_COM1");
  EXPECT_EQ(DevicePathFor("COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePathFor("COM4"), "/dev/ttyS3") << "an empty variable is no choice";
  EXPECT_EQ(DevicePathFor("COM1"), "/dev/ttyS0");
  for (const char* other : {"COM0", "COM5", "com1", "COM", "COM12", "/dev/ttyS0", ""}) {
    EXPECT_EQ(DevicePathFor(other), std::nullopt) << other;
  }
  unsetenv("QZR71_COM3");
  unsetenv("QZR71_COM4");
}

TEST(PortFailureText, ShowsTheErrorNumberInLowercaseHex) {
  const std::string prefix = "CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:";
  EXPECT_EQ(PortFailureText(ENOENT), prefix + "2");
  EXPECT_EQ(PortFailureText(EACCES), prefix + "d");
  EXPECT_EQ(PortFailureText(EBUSY), prefix + "10");
  EXPECT_EQ(PortFailureText(87), prefix + "57");
  EXPECT_EQ(PortFailureText(1168), prefix + "490");
}

Dcb EvenParityLine(std::uint32_t rate, std::uint8_t stopBits) {
  Dcb dcb;
  dcb.BaudRate = rate;
  dcb.ByteSize = 8;
  dcb.Parity = kEvenParity;
  dcb.StopBits = stopBits;
  dcb.fParity = true;
  dcb.fAbortOnError = true;
  return dcb;
}

termios Cooked() {
  termios settings{};
  settings.c_iflag = ICRNL | IXON | PARMRK | ISTRIP;
  settings.c_oflag = OPOST | ONLCR;
  settings.c_lflag = ICANON | ECHO | ISIG;
  settings.c_cflag = CS7 | CRTSCTS | PARODD;
  return settings;
}

TEST(BuildLineSettings, RawEightBitsEvenParityNoFlowControl) {
  termios settings = Cooked();
  int error = 0;
  ASSERT_TRUE(BuildLineSettings(EvenParityLine(9600, kOneStopBit), false, settings, error));
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(settings.c_cflag & PARENB, 0u);
  EXPECT_EQ(settings.c_cflag & PARODD, 0u);
  EXPECT_NE(settings.c_iflag & INPCK, 0u);
  EXPECT_EQ(settings.c_iflag & (PARMRK | ISTRIP | ICRNL | IXON | IXOFF), 0u)
      << "0xFF, 0x0D and 0x11 must arrive as they are";
  EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(settings.c_cflag & (CRTSCTS | CSTOPB), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_cc[VMIN], 1);
  EXPECT_EQ(settings.c_cc[VTIME], 0);
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B9600));
}

TEST(BuildLineSettings, RatesStopBitsAndThePseudoTerminal) {
  termios settings{};
  int error = 0;
  ASSERT_TRUE(BuildLineSettings(EvenParityLine(2400, kTwoStopBits), false, settings, error));
  EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B2400));

  ASSERT_TRUE(BuildLineSettings(EvenParityLine(19200, kTwoStopBits), true, settings, error));
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B19200));
  EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(settings.c_cflag & PARENB, 0u);
  EXPECT_EQ(settings.c_iflag & INPCK, 0u);

  Dcb readBack;
  ReadLineSettings(settings, readBack);
  EXPECT_EQ(readBack.BaudRate, 19200u);
  EXPECT_EQ(readBack.StopBits, kTwoStopBits);
  EXPECT_EQ(readBack.ByteSize, 8);
}

TEST(BuildLineSettings, RefusesWhatThePortCannotDo) {
  for (const Dcb& dcb :
       {EvenParityLine(12345, kOneStopBit), EvenParityLine(9600, kOneAndHalfStopBits)}) {
    termios settings{};
    int error = 0;
    EXPECT_FALSE(BuildLineSettings(dcb, false, settings, error));
    EXPECT_EQ(error, EINVAL);
  }
}

TEST(LineErrorMonitor, AnErrorFailsTransfersUntilCleared) {
  for (int counter = 0; counter < 5; ++counter) {
    LineErrorMonitor monitor;
    serial_icounter_struct counts{};
    counts.rx = 100;
    monitor.Clear(counts);
    counts.rx = 180;
    counts.tx = 7;
    EXPECT_FALSE(monitor.Failed(counts)) << "traffic alone is no error";

    int* fields[] = {&counts.parity, &counts.frame, &counts.overrun, &counts.brk,
                     &counts.buf_overrun};
    ++*fields[counter];
    EXPECT_TRUE(monitor.Failed(counts)) << counter;
    const serial_icounter_struct same = counts;
    EXPECT_TRUE(monitor.Failed(same)) << "stays failed without new errors";
    monitor.Clear(counts);
    EXPECT_FALSE(monitor.Failed(counts));
  }
}

}  // namespace
