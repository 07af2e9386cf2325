#include "link/Rfc2217SerialDevice.h"

#include <algorithm>
#include <chrono>

#include "link/IdlePump.h"
#include "link/NetworkAddress.h"

namespace {

using Clock = TcpConnection::Clock;
using std::chrono::milliseconds;
using Command = TelnetComPort::Command;

// As on a local port: how often the window may repaint while a read waits, how close to the
// read's end it no longer may, and how long a write may stall before the tool gives up on it.
constexpr milliseconds kPumpInterval{20};
constexpr milliseconds kPumpMargin{25};
constexpr milliseconds kWriteStallLimit{5000};
// A server answers in milliseconds (4 to 9 on 127.0.0.1); these bounds only keep a dead host or a
// server that does not speak the option from freezing the tool.
constexpr milliseconds kConnectLimit{3000};
constexpr milliseconds kAnswerLimit{2000};
constexpr const char* kAnswerLimitText = "2 s";
constexpr const char* kTheOption =
    "the COM port option of RFC 2217 (ser2net: use the accepter telnet(rfc2217))";

// What arrives from the server is taken in pieces of this size.
constexpr std::size_t kReceiveChunk = 512;

// RFC 2217 numbers parity none, odd, even, mark and space 1 to 5; the Dcb 0 to 4.
std::uint32_t ParityValue(std::uint8_t parity) {
  return parity + 1u;
}

// RFC 2217: 1 one stop bit, 2 two, 3 one and a half; the Dcb 0 one, 1 one and a half, 2 two.
std::uint32_t StopSizeValue(std::uint8_t stopBits) {
  return stopBits == kOneAndHalfStopBits ? 3u : (stopBits == kTwoStopBits ? 2u : 1u);
}

struct Setting {
  Command command;
  std::uint32_t value;
  std::size_t size;
  const char* name;
};

// The server's own words, when it sent some before it closed the connection (ser2net says so when
// it cannot open its serial device).
std::string PrintableText(const TelnetComPort::Bytes& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (byte >= 0x20 && byte < 0x7F) text.push_back(static_cast<char>(byte));
    if ((byte == '\r' || byte == '\n') && !text.empty() && text.back() != ' ') text.push_back(' ');
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

Rfc2217SerialDevice::Rfc2217SerialDevice(DevicePaths devicePaths)
    : devicePaths_(std::move(devicePaths)) {}

Rfc2217SerialDevice::~Rfc2217SerialDevice() {
  Close();
}

bool Rfc2217SerialDevice::Fail(int error, std::string text) {
  lastError_ = error;
  if (!text.empty()) failureText_ = server_ + ": " + text;
  return false;
}

bool Rfc2217SerialDevice::Usable() {
  if (!connection_.IsOpen()) return Fail(kNetworkErrors.notOpen);
  // The connection has ended: every transfer fails at once, as on a port whose cable was pulled.
  if (lineLost_) return Fail(connection_.Error());
  return true;
}

bool Rfc2217SerialDevice::SendToServer(const TelnetComPort::Bytes& bytes) {
  if (connection_.Send(bytes.data(), bytes.size(), Clock::now() + kWriteStallLimit)) return true;
  if (connection_.Dropped()) lineLost_ = true;
  return Fail(connection_.Error());
}

Rfc2217SerialDevice::Arrival Rfc2217SerialDevice::TakeArrivals(Clock::time_point until) {
  if (!connection_.WaitReadable(until)) return Arrival::kNothing;
  std::uint8_t chunk[kReceiveChunk];
  std::size_t count = 0;
  if (!connection_.Receive(chunk, sizeof chunk, count)) {
    lineLost_ = true;
    Fail(connection_.Error());
    return Arrival::kLost;
  }
  if (count == 0) return Arrival::kNothing;
  TelnetComPort::Bytes reply;
  telnet_.Receive(chunk, count, received_, reply);
  // Every piece taken is answered at once, with a no-operation when there is nothing else to say:
  // a server may hold back its next small piece (the reply after a purge's answer) until this
  // side has acknowledged the last, which a client with nothing to send acknowledges only after
  // some 40 ms (Nagle's algorithm there, delayed acknowledgement here).
  if (reply.empty()) TelnetComPort::AppendNoOperation(reply);
  if (!SendToServer(reply)) return Arrival::kLost;
  return Arrival::kBytes;
}

bool Rfc2217SerialDevice::OpenFailed(int error, const std::string& text) {
  Fail(error, text);
  connection_.Close();
  lineLost_ = false;
  return false;
}

bool Rfc2217SerialDevice::Open(const std::string& comName) {
  Close();
  failureText_.clear();
  server_.clear();
  const auto path = devicePaths_(comName);
  if (!path) return Fail(kNetworkErrors.noDevice);
  const auto address = ParseRfc2217Address(*path);
  server_ = *path;
  if (!address) return Fail(kNetworkErrors.badAddress, "not an address rfc2217://HOST:PORT");

  if (!connection_.Connect(*address, Clock::now() + kConnectLimit)) {
    return Fail(connection_.Error(), "no connection to the server");
  }
  // The option, then a purge and a question for the baud rate: the server answers the question
  // once it has the option, and answers the purge before it, if it answers purges at all.
  TelnetComPort::Bytes out = telnet_.Opening();
  TelnetComPort::AppendCommand(out, TelnetComPort::kPurgeData,
                               TelnetComPort::kPurgeReceived | TelnetComPort::kPurgeToSend, 1);
  TelnetComPort::AppendCommand(out, TelnetComPort::kSetBaudRate, 0, 4);
  // However the end shows (a reset, a broken pipe), the number the technician sees is one.
  if (!SendToServer(out)) {
    return OpenFailed(kNetworkErrors.dropped, "the server closed the connection");
  }

  const auto until = Clock::now() + kAnswerLimit;
  while (telnet_.ComPortOption() != TelnetComPort::Option::kAccepted ||
         !telnet_.Answer(TelnetComPort::kSetBaudRate)) {
    if (telnet_.ComPortOption() == TelnetComPort::Option::kRefused) {
      return OpenFailed(kNetworkErrors.noRfc2217, std::string("the server refuses ") + kTheOption);
    }
    const Arrival arrival = TakeArrivals(until);
    if (arrival == Arrival::kLost) {
      const std::string said = PrintableText(received_);
      return OpenFailed(kNetworkErrors.dropped,
                        "the server closed the connection" + (said.empty() ? "" : ": " + said));
    }
    if (arrival == Arrival::kNothing && Clock::now() >= until) {
      if (telnet_.ComPortOption() == TelnetComPort::Option::kAsked) {
        return OpenFailed(kNetworkErrors.noRfc2217, std::string("no answer within ") +
                                                        kAnswerLimitText + " to " + kTheOption);
      }
      return OpenFailed(kNetworkErrors.timedOut,
                        std::string("no answer to SET-BAUDRATE within ") + kAnswerLimitText);
    }
  }
  purgesAnswered_ = telnet_.PurgeAnswers() > 0;
  received_.clear();
  dcb_ = Dcb{};
  dcb_.BaudRate = *telnet_.Answer(TelnetComPort::kSetBaudRate);
  return true;
}

bool Rfc2217SerialDevice::GetCommState(Dcb& dcb) {
  if (!Usable()) return false;
  dcb = dcb_;
  return true;
}

bool Rfc2217SerialDevice::SetCommState(const Dcb& dcb) {
  if (!Usable()) return false;
  const Setting settings[] = {
      {TelnetComPort::kSetBaudRate, dcb.BaudRate, 4, "SET-BAUDRATE"},
      {TelnetComPort::kSetDataSize, dcb.ByteSize, 1, "SET-DATASIZE"},
      {TelnetComPort::kSetParity, ParityValue(dcb.Parity), 1, "SET-PARITY"},
      {TelnetComPort::kSetStopSize, StopSizeValue(dcb.StopBits), 1, "SET-STOPSIZE"},
      {TelnetComPort::kSetControl, TelnetComPort::kNoFlowControl, 1, "SET-CONTROL (flow control)"},
  };
  telnet_.ForgetAnswers();
  TelnetComPort::Bytes out;
  for (const Setting& setting : settings) {
    TelnetComPort::AppendCommand(out, setting.command, setting.value, setting.size);
  }
  // The modem lines are set but their answers never awaited: a server in front of a line that has
  // none (a pseudo-terminal) leaves them unanswered.
  TelnetComPort::AppendCommand(
      out, TelnetComPort::kSetControl,
      dcb.fDtrControl != 0 ? TelnetComPort::kDtrOn : TelnetComPort::kDtrOff, 1);
  TelnetComPort::AppendCommand(
      out, TelnetComPort::kSetControl,
      dcb.fRtsControl != 0 ? TelnetComPort::kRtsOn : TelnetComPort::kRtsOff, 1);
  if (!SendToServer(out)) return false;

  const auto until = Clock::now() + kAnswerLimit;
  for (const Setting& setting : settings) {
    while (!telnet_.Answer(setting.command)) {
      const Arrival arrival = TakeArrivals(until);
      if (arrival == Arrival::kLost) return false;
      if (arrival == Arrival::kNothing && Clock::now() >= until) {
        return Fail(kNetworkErrors.timedOut,
                    std::string("no answer to ") + setting.name + " within " + kAnswerLimitText);
      }
    }
    const std::uint32_t answer = *telnet_.Answer(setting.command);
    if (answer != setting.value) {
      return Fail(kNetworkErrors.notSupported, std::string("the server answered ") + setting.name +
                                                   " " + std::to_string(setting.value) + " with " +
                                                   std::to_string(answer));
    }
  }
  dcb_ = dcb;
  return true;
}

bool Rfc2217SerialDevice::SetCommTimeouts(const CommTimeouts& timeouts) {
  if (!connection_.IsOpen()) return Fail(kNetworkErrors.notOpen);
  timeouts_ = timeouts;
  return true;
}

bool Rfc2217SerialDevice::Purge(unsigned flags) {
  if (!Usable()) return false;
  const bool receive = (flags & kPurgeReceive) != 0;
  const bool transmit = (flags & kPurgeTransmit) != 0;
  if (!receive && !transmit) return true;
  if (receive) {
    received_.clear();
    // A server that does not answer purges cannot mark where the old bytes end: what has arrived
    // by now is all that can be told old.
    if (!purgesAnswered_) {
      while (TakeArrivals(Clock::now()) == Arrival::kBytes) received_.clear();
    }
  }
  TelnetComPort::Bytes out;
  TelnetComPort::AppendCommand(out, TelnetComPort::kPurgeData,
                               (receive ? TelnetComPort::kPurgeReceived : 0u) |
                                   (transmit ? TelnetComPort::kPurgeToSend : 0u),
                               1);
  // Not waited for: the write that follows goes out behind the purge anyway.
  if (purgesAnswered_) telnet_.AwaitPurgeAnswer(receive);
  return SendToServer(out);
}

bool Rfc2217SerialDevice::ClearCommError() {
  return Usable();
}

bool Rfc2217SerialDevice::Write(const std::uint8_t* bytes, std::uint32_t count) {
  if (!Usable()) return false;
  TelnetComPort::Bytes out;
  TelnetComPort::AppendData(out, bytes, count);
  return SendToServer(out);
}

std::uint32_t Rfc2217SerialDevice::TakeData(std::uint8_t* buffer, std::uint32_t count) {
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, received_.size()));
  std::copy_n(received_.begin(), n, buffer);
  received_.erase(received_.begin(), received_.begin() + n);
  return n;
}

bool Rfc2217SerialDevice::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                               IdlePump* pump) {
  bytesRead = 0;
  if (!Usable()) return false;
  const auto start = Clock::now();
  const auto deadline = start + milliseconds(timeouts_.ReadTotalTimeoutConstant +
                                             timeouts_.ReadTotalTimeoutMultiplier * count);
  auto lastPump = start;
  for (;;) {
    bytesRead += TakeData(buffer + bytesRead, count - bytesRead);
    if (bytesRead == count) return true;
    auto now = Clock::now();
    if (pump != nullptr && now - lastPump >= kPumpInterval && deadline - now >= kPumpMargin) {
      pump->Pump();
      lastPump = now = Clock::now();
    }
    if (now >= deadline) {
      // A server answers a purge within milliseconds: one still unanswered now never will be, and
      // awaiting it would drop every byte to come.
      if (telnet_.AwaitingPurgeAnswer()) {
        telnet_.StopAwaitingPurgeAnswers();
        purgesAnswered_ = false;
      }
      return true;
    }
    // Without a window to repaint, one wait to the deadline; with one, slices between repaints.
    const auto until = pump != nullptr ? std::min(deadline, now + kPumpInterval) : deadline;
    if (TakeArrivals(until) == Arrival::kLost) {
      // What the server sent before it went is still the head's answer.
      bytesRead += TakeData(buffer + bytesRead, count - bytesRead);
      return bytesRead == count;
    }
  }
}

void Rfc2217SerialDevice::Close() {
  connection_.Close();
  telnet_ = TelnetComPort{};
  received_.clear();
  lineLost_ = false;
  purgesAnswered_ = false;
  dcb_ = Dcb{};
  timeouts_ = CommTimeouts{};
}
