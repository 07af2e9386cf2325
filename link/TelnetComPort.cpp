#include "link/TelnetComPort.h"

namespace {

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kNop = 241;
constexpr std::uint8_t kSe = 240;

constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPort = 44;
constexpr std::uint8_t kServerAnswer = 100;  // added to a command's number in the server's answer

// The longest subnegotiation kept: a COM port answer has at most 6 bytes; longer ones (a server's
// signature text) are not needed.
constexpr std::size_t kSubnegotiationKept = 64;

bool WeMay(std::uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool TheyMay(std::uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead;
}

void AppendByte(TelnetComPort::Bytes& out, std::uint8_t byte) {
  out.push_back(byte);
  if (byte == kIac) out.push_back(kIac);
}

}  // namespace

TelnetComPort::Bytes TelnetComPort::Opening() {
  Bytes out;
  for (const std::uint8_t option : {kComPort, kBinary, kSuppressGoAhead}) {
    out.insert(out.end(), {kIac, kWill, option});
    ours_[option] = kWanted;
  }
  for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) {
    out.insert(out.end(), {kIac, kDo, option});
    theirs_[option] = kWanted;
  }
  return out;
}

void TelnetComPort::AppendData(Bytes& out, const std::uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) AppendByte(out, data[i]);
}

void TelnetComPort::AppendCommand(Bytes& out, Command command, std::uint32_t value,
                                  std::size_t size) {
  out.insert(out.end(), {kIac, kSb, kComPort, command});
  for (std::size_t i = size; i-- > 0;) AppendByte(out, static_cast<std::uint8_t>(value >> (8 * i)));
  out.insert(out.end(), {kIac, kSe});
}

void TelnetComPort::AppendNoOperation(Bytes& out) {
  out.insert(out.end(), {kIac, kNop});
}

TelnetComPort::Option TelnetComPort::ComPortOption() const {
  switch (ours_[kComPort]) {
    case kYes:
      return Option::kAccepted;
    case kWanted:
      return Option::kAsked;
    default:
      return Option::kRefused;
  }
}

void TelnetComPort::AwaitPurgeAnswer(bool received) {
  purgesAwaited_.push_back(received);
  if (received) ++receivedPurgesAwaited_;
}

void TelnetComPort::StopAwaitingPurgeAnswers() {
  purgesAwaited_.clear();
  receivedPurgesAwaited_ = 0;
}

void TelnetComPort::TakeData(std::uint8_t byte, Bytes& data) const {
  if (receivedPurgesAwaited_ == 0) data.push_back(byte);
}

void TelnetComPort::Receive(const std::uint8_t* bytes, std::size_t count, Bytes& data,
                            Bytes& reply) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kCommand;
        } else {
          TakeData(byte, data);
        }
        break;
      case State::kCommand:
        state_ = State::kData;
        if (byte == kIac) {
          TakeData(byte, data);
        } else if (byte == kSb) {
          subnegotiation_.clear();
          state_ = State::kSubnegotiation;
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::kOption;
        }
        // Any other command (no operation, go ahead, data mark, ...) asks nothing of a client.
        break;
      case State::kOption:
        Negotiate(verb_, byte, reply);
        state_ = State::kData;
        break;
      case State::kSubnegotiation:
        if (byte == kIac) {
          state_ = State::kSubnegotiationCommand;
        } else if (subnegotiation_.size() < kSubnegotiationKept) {
          subnegotiation_.push_back(byte);
        }
        break;
      case State::kSubnegotiationCommand:
        if (byte == kIac) {
          if (subnegotiation_.size() < kSubnegotiationKept) subnegotiation_.push_back(byte);
          state_ = State::kSubnegotiation;
        } else {
          // IAC SE ends it; anything else after IAC is malformed and ends it as well.
          EndSubnegotiation();
          state_ = State::kData;
        }
        break;
    }
  }
}

// Each side answers a request only when it changes the option's state, so that two sides never
// answer each other's answers in a loop (RFC 854's rule, as RFC 1143 tightens it).
void TelnetComPort::Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply) {
  const bool request = verb == kWill || verb == kDo;
  const bool theirs = verb == kWill || verb == kWont;
  OptionState& state = theirs ? theirs_[option] : ours_[option];
  const bool allowed = theirs ? TheyMay(option) : WeMay(option);
  const std::uint8_t yes = theirs ? kDo : kWill;
  const std::uint8_t no = theirs ? kDont : kWont;
  if (request && allowed) {
    if (state == kNo) reply.insert(reply.end(), {kIac, yes, option});
    state = kYes;
  } else if (request) {
    reply.insert(reply.end(), {kIac, no, option});
  } else {
    if (state == kYes) reply.insert(reply.end(), {kIac, no, option});
    state = kNo;
  }
}

void TelnetComPort::EndSubnegotiation() {
  if (subnegotiation_.size() < 2 || subnegotiation_[0] != kComPort) return;
  if (subnegotiation_[1] <= kServerAnswer || subnegotiation_[1] > kServerAnswer + kPurgeData) {
    return;
  }
  const auto command = static_cast<std::uint8_t>(subnegotiation_[1] - kServerAnswer);
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < subnegotiation_.size() && i < 6; ++i) {
    value = value << 8 | subnegotiation_[i];
  }
  if (command == kPurgeData) {
    ++purgeAnswers_;
    if (purgesAwaited_.empty()) return;
    if (purgesAwaited_.front()) --receivedPurgesAwaited_;
    purgesAwaited_.pop_front();
    return;
  }
  // SET-CONTROL answers about flow control (0..3), the modem lines and break alike; only the
  // first are awaited.
  if (command == kSetControl && value > 3) return;
  answers_[command] = value;
}
