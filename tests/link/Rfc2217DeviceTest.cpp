// The serial device behind a serial device server: Debian's ser2net serves a pseudo-terminal on
// which the test plays the head, and the tool's device reaches it as "rfc2217://127.0.0.1:PORT".

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <numeric>
#include <thread>

#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"
#include "tests/support/Ser2net.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr auto kLateAllowance = 100ms;  // a guard against a broken deadline, not a speed goal

class ServedPty : public testing::Test {
 protected:
  bool OpenWith(std::string address) {
    address_ = std::move(address);
    return device.Open("COM1");
  }
  Bytes Read(std::uint32_t count) {
    Bytes got(count);
    std::uint32_t n = 0;
    EXPECT_TRUE(device.Read(got.data(), count, n, nullptr));
    got.resize(n);
    return got;
  }

  PtyPair pty;
  Ser2net server{pty.SlavePath()};
  std::string address_ = server.Address();
  // COM1 the server, COM2 the pseudo-terminal itself.
  SerialDevice device{[this](const std::string& name) -> std::optional<std::string> {
    return name == "COM1" ? address_ : pty.SlavePath();
  }};
};

TEST_F(ServedPty, LineSettingsReachTheLineAndEveryByteCrossesItUnchanged) {
  ASSERT_TRUE(device.Open("COM1")) << device.FailureText();
  Dcb dcb;
  dcb.BaudRate = 19200;
  dcb.Parity = kEvenParity;
  dcb.StopBits = kTwoStopBits;
  ASSERT_TRUE(device.SetCommState(dcb)) << device.FailureText();
  termios line{};
  ASSERT_EQ(tcgetattr(pty.Master(), &line), 0);
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(line.c_cflag & CSTOPB, 0u);
  // A pseudo-terminal reads PARENB back cleared but keeps PARODD: even parity is its absence.
  EXPECT_EQ(line.c_cflag & PARODD, 0u);

  // 0xFF is Telnet's command byte, twice in a row as well.
  Bytes every(256);
  std::iota(every.begin(), every.end(), 0);
  every.insert(every.end(), {0xFF, 0xFF, 0xF0});
  ASSERT_TRUE(device.Write(every.data(), static_cast<std::uint32_t>(every.size())));
  EXPECT_EQ(pty.Receive(every.size(), 2s), every);
  pty.Send(every);
  device.SetCommTimeouts({0, 2000});
  EXPECT_EQ(Read(static_cast<std::uint32_t>(every.size())), every);
  EXPECT_FALSE(device.LineLost());
}

TEST_F(ServedPty, ReadEndsAtItsTimeOutFromItsOwnStartNeverEarlyAndRepaints) {
  ASSERT_TRUE(device.Open("COM1"));
  device.SetCommTimeouts({5, 500});
  const std::uint8_t request = 0x05;
  ASSERT_TRUE(device.Write(&request, 1));
  std::this_thread::sleep_for(200ms);  // the head stays silent after the request
  for (const std::uint32_t count : {1u, 40u}) {
    Bytes buffer(count);
    std::uint32_t n = 1;
    CountingPump pump;
    const auto start = Clock::now();
    EXPECT_TRUE(device.Read(buffer.data(), count, n, &pump));
    const auto took = Clock::now() - start;
    const auto timeOut = std::chrono::milliseconds(500 + 5 * count);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(took, timeOut);
    EXPECT_LT(took, timeOut + kLateAllowance);
    EXPECT_GE(pump.pumps, 10);
  }
}

TEST_F(ServedPty, PurgeDropsWhatTheLineSentBeforeIt) {
  ASSERT_TRUE(device.Open("COM1"));
  device.SetCommTimeouts({5, 500});
  pty.Send({1, 2, 3});  // a late answer, on its way through the server
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(device.Purge(kPurgeTransmit | kPurgeReceive));
  const std::uint8_t request = 0x05;
  ASSERT_TRUE(device.Write(&request, 1));
  EXPECT_EQ(pty.Receive(1), Bytes{0x05});
  pty.Send({7, 8});
  EXPECT_EQ(Read(2), (Bytes{7, 8}));
}

// The one device opens the line itself or the server, as the name reaches, and each reaches the
// head. (A connection that ends mid-stage: ServerGone in tests/adjust/UnplugHeadsimTest.cpp.)
TEST_F(ServedPty, OpensWhatTheNameReaches) {
  const std::uint8_t request = 0x05;
  for (const std::string name : {"COM2", "COM1", "COM2"}) {
    SCOPED_TRACE(name);
    if (name == "COM2") {
      device.Close();
      server.WaitUntilTheLineIsFree();
    }
    ASSERT_TRUE(device.Open(name)) << device.FailureText();
    ASSERT_TRUE(device.Write(&request, 1));
    EXPECT_EQ(pty.Receive(1), Bytes{0x05});
  }
}

// A server of the test's own, as servers in the field differ from ser2net: it accepts the COM
// port option and echoes each command's value, or gives the test's answer for it, or none; data it
// sends back, as a line with a loop-back plug would. A mute one says nothing at all.
class ScriptedServer {
 public:
  using Answers = std::map<std::uint8_t, std::optional<std::uint8_t>>;  // command: its answer
  explicit ScriptedServer(Answers answers = {}, bool mute = false)
      : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), answers_(std::move(answers)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    if (!mute) serving_ = std::thread([this] { Serve(); });
  }
  ~ScriptedServer() {
    shutdown(listener_, SHUT_RDWR);
    if (client_ >= 0) shutdown(client_, SHUT_RDWR);
    if (serving_.joinable()) serving_.join();
    close(listener_);
    if (client_ >= 0) close(client_);
  }
  std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve() {
    client_ = accept(listener_, nullptr, nullptr);
    Bytes in;
    std::uint8_t chunk[256];
    for (ssize_t n; client_ >= 0 && (n = recv(client_, chunk, sizeof chunk, 0)) > 0;) {
      in.insert(in.end(), chunk, chunk + n);
      Bytes out;
      std::size_t i = 0;
      for (; i < in.size(); ++i) {
        if (in[i] != 0xFF) {
          out.push_back(in[i]);
          continue;
        }
        if (i + 1 >= in.size()) break;
        if (in[i + 1] == 0xFF || in[i + 1] == 0xF1) {  // a data byte 0xFF, or no-operation
          if (in[++i] == 0xFF) out.insert(out.end(), {0xFF, 0xFF});
        } else if (in[i + 1] == 0xFA) {  // IAC SB 44 command value... IAC SE
          const auto end =
              std::find(in.begin() + static_cast<std::ptrdiff_t>(i) + 2, in.end(), 0xF0);
          if (end == in.end()) break;
          Bytes answer(in.begin() + static_cast<std::ptrdiff_t>(i), end + 1);
          answer[3] = static_cast<std::uint8_t>(answer[3] + 100);
          const auto scripted = answers_.find(in[i + 3]);
          if (scripted != answers_.end() && scripted->second) answer[4] = *scripted->second;
          if (scripted == answers_.end() || scripted->second)
            out.insert(out.end(), answer.begin(), answer.end());
          i = static_cast<std::size_t>(end - in.begin());
        } else if (i + 2 < in.size()) {  // IAC WILL 44 and the like: yes to the COM port option
          if (in[i + 1] == 0xFB && in[i + 2] == 44) out.insert(out.end(), {0xFF, 0xFD, 44});
          i += 2;
        } else {
          break;
        }
      }
      in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(i));
      if (!out.empty() && send(client_, out.data(), out.size(), MSG_NOSIGNAL) < 0) break;
    }
  }

  int listener_;
  int port_ = 0;
  std::atomic<int> client_ = -1;
  Answers answers_;
  std::thread serving_;
};

TEST_F(ServedPty, AServerThatCannotServeFailsTheOpenWithinItsBound) {
  struct Case {
    std::string address;
    int error;
    const char* said;  // in the failure text
    std::chrono::milliseconds within;
  };
  ScriptedServer mute({}, true);
  Ser2net noDevice("/dev/qzr71-no-such-device");
  server.Stop();  // nothing listens on its port any more
  const Case cases[] = {
      {server.Address(), ECONNREFUSED, "no connection", 500ms},
      {mute.Address(), EPROTONOSUPPORT, "no answer within 2 s to the COM port option", 2500ms},
      {noDevice.Address(), ECONNRESET, "closed the connection: Device open failure", 1000ms},
      {"rfc2217://no-such-host.invalid:2217", ENXIO, "no connection", 1000ms},
      {"rfc2217://127.0.0.1", EINVAL, "not an address", 100ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const auto start = Clock::now();
    EXPECT_FALSE(OpenWith(c.address));
    EXPECT_LT(Clock::now() - start, c.within);
    EXPECT_EQ(device.LastError(), c.error);
    EXPECT_NE(device.FailureText().find(c.said), std::string::npos) << device.FailureText();
  }

  // At start-up the port driver shows the port's documented box with that number.
  TempDir dir;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  address_ = server.Address();
  settings.FormCreate();
  EXPECT_FALSE(driver.IsOpen());
  ASSERT_FALSE(boxes.shown.empty());
  EXPECT_EQ(boxes.shown.back(),
            (ShownBox{"CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:6f", "RS232C PORT"}));
}

// Servers in the field: one answers even parity with odd, one leaves the stop bits unanswered (the
// open fails, saying which), one never answers a purge (the purge then cannot mark where old bytes
// end, and new ones must still get through).
TEST_F(ServedPty, ServersThatDifferFromSer2net) {
  Dcb dcb;
  dcb.Parity = kEvenParity;
  ScriptedServer odd(ScriptedServer::Answers{{3, 2}});
  ASSERT_TRUE(OpenWith(odd.Address())) << device.FailureText();
  EXPECT_FALSE(device.SetCommState(dcb));
  EXPECT_EQ(device.LastError(), EOPNOTSUPP);
  EXPECT_NE(device.FailureText().find("SET-PARITY 3 with 2"), std::string::npos)
      << device.FailureText();

  ScriptedServer silentOnStopBits(ScriptedServer::Answers{{4, std::nullopt}});
  ASSERT_TRUE(OpenWith(silentOnStopBits.Address()));
  const auto start = Clock::now();
  EXPECT_FALSE(device.SetCommState(dcb));
  EXPECT_LT(Clock::now() - start, 2500ms);
  EXPECT_EQ(device.LastError(), ETIMEDOUT);
  EXPECT_NE(device.FailureText().find("no answer to SET-STOPSIZE"), std::string::npos);

  ScriptedServer noPurgeAnswers(ScriptedServer::Answers{{12, std::nullopt}});
  ASSERT_TRUE(OpenWith(noPurgeAnswers.Address()));
  ASSERT_TRUE(device.SetCommState(dcb)) << device.FailureText();
  device.SetCommTimeouts({5, 500});
  const Bytes request{0x05, 0xFF, 0x06};
  ASSERT_TRUE(device.Purge(kPurgeTransmit | kPurgeReceive));
  ASSERT_TRUE(device.Write(request.data(), 3));
  EXPECT_EQ(Read(3), request);
}

}  // namespace
