#pragma once

// A head that answers as the simulated head's engine would, except where a script says
// otherwise: a transmission whose write fails, a message that never arrives, an answer replaced,
// garbled, cut short, stretched or late, a line that drops for good. It also keeps the books the
// fuzz target judges the tool by: how often each request went out in a row, and which exchanges
// failed.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "link/HeadCommands.h"
#include "link/PortLink.h"
#include "sim/HeadEngine.h"

namespace hostile {

enum class Trouble : std::uint8_t {
  kWriteFails,  // the port refuses this one write
  kLost,        // the head never gets the message; nothing comes back
  kReplaced,    // the head acts on the message, but these bytes come back instead
  kGarbled,     // its answer with the bytes laid over it (XOR)
  kCut,         // its answer without its last n bytes
  kStretched,   // its answer with the bytes after it
  kLate,        // its answer after the read has given up; the next read finds it
  kGone,        // the line drops: this and every later transfer fails
};
inline constexpr int kTroubles = 8;

struct Fault {
  std::uint16_t skip = 0;  // transmissions answered as the head would, before this one
  Trouble trouble = Trouble::kLost;
  std::vector<std::uint8_t> bytes;
};

using Bytes = std::vector<std::uint8_t>;

class HostileHead final : public PortLink {
 public:
  HostileHead(sim::HeadEngine& engine, std::vector<Fault> faults)
      : engine_(engine), faults_(std::move(faults)) {}

  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    const Bytes message(bytes, bytes + count);
    ++transmissions_;
    CountTransmission(message);
    const std::optional<Trouble> trouble = NextTrouble();
    if (trouble == Trouble::kGone) gone_ = true;
    if (gone_ || trouble == Trouble::kWriteFails) {
      lastAnswered_ = false;
      ExchangeFailed(message);  // a failed write ends the exchange at once
      return false;
    }
    NoteCommand(message);
    answer_.clear();
    if (trouble == Trouble::kLost) return true;
    for (const sim::Answer& answer : engine_.Receive(message)) {
      answer_.insert(answer_.end(), answer.bytes.begin(), answer.bytes.end());
    }
    if (trouble) Spoil(*trouble);
    return true;
  }

  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    Bytes arrived = std::exchange(carried_, {});
    if (late_) {
      carried_ = std::exchange(answer_, {});
      late_ = false;
    }
    arrived.insert(arrived.end(), answer_.begin(), answer_.end());
    answer_.clear();
    std::uint32_t n = 0;
    if (!gone_) {
      n = static_cast<std::uint32_t>(std::min<std::size_t>(count, arrived.size()));
      std::copy_n(arrived.begin(), n, buffer);
    }
    // Only an ACK answers a command or a frame; a reply must come whole.
    lastAnswered_ = count == 1 ? n == 1 && buffer[0] == head::kAck : n == count;
    if (lastAnswered_) {
      NoteReply({buffer, n});
      exchangeOver_ = true;
    } else if (attempt_ == 4) {
      ExchangeFailed(lastRequest_);
    }
    return n;
  }

  // A new exchange starts whatever went before (the controller's 0xA6 after a failed stage
  // follows a 0xA6 of the stage that may have failed as well).
  void ForgetRequest() {
    sameRequest_ = 0;
    exchangeOver_ = true;
  }
  // The requests of the exchanges that failed since the last call.
  std::vector<Bytes> TakeFailures() { return std::exchange(failed_, {}); }
  std::size_t Transmissions() const { return transmissions_; }
  // A request went out more often in a row than its exchange allows.
  bool TooManyTransmissions() const { return tooMany_; }
  const Bytes& IdentificationAnswer() const { return identificationAnswer_; }
  const Bytes& CheckWordSent() const { return checkWordSent_; }
  const Bytes& CheckWordEcho() const { return checkWordEcho_; }

 private:
  std::optional<Trouble> NextTrouble() {
    if (next_ >= faults_.size()) return std::nullopt;
    Fault& fault = faults_[next_];
    if (fault.skip > 0) {
      --fault.skip;
      return std::nullopt;
    }
    ++next_;
    spoilWith_ = fault.bytes;
    return fault.trouble;
  }

  void Spoil(Trouble trouble) {
    switch (trouble) {
      case Trouble::kReplaced:
        answer_ = spoilWith_;
        break;
      case Trouble::kGarbled:
        for (std::size_t i = 0; i < answer_.size() && !spoilWith_.empty(); ++i) {
          answer_[i] ^= spoilWith_[i % spoilWith_.size()];
        }
        break;
      case Trouble::kCut:
        answer_.resize(answer_.size() - std::min(answer_.size(), spoilWith_.size() + 1));
        break;
      case Trouble::kStretched:
        answer_.insert(answer_.end(), spoilWith_.begin(), spoilWith_.end());
        break;
      case Trouble::kLate:
        late_ = true;
        break;
      default:
        break;
    }
  }

  // The stored block is fetched up to four times, each fetch up to four transmissions.
  bool InBlockFetch(const Bytes& request) const {
    return request == Bytes{head::kEnq} && command_ == head::kCmdReadStoredData && storedAnswered_;
  }

  // A retransmission sends the same bytes again after a failed attempt. Only the block fetch
  // sends the same request again once its exchange has failed.
  void CountTransmission(const Bytes& message) {
    sameRequest_ = message == lastRequest_ && !lastAnswered_ ? sameRequest_ + 1 : 1;
    if (sameRequest_ > (InBlockFetch(message) ? 16 : 4)) tooMany_ = true;
    lastRequest_ = message;
    attempt_ = exchangeOver_ ? 1 : attempt_ + 1;
    exchangeOver_ = false;
  }

  // A failed write, or the fourth attempt without an answer.
  void ExchangeFailed(const Bytes& request) {
    exchangeOver_ = true;
    // The step fetches the block again after each of the first three failed fetches.
    if (InBlockFetch(request) && ++failedFetches_ < 4) return;
    failed_.push_back(request);
  }

  void NoteCommand(const Bytes& message) {
    if (message.size() >= 3 && message[0] == head::kFrameLead) {
      command_ = message[2];
      if (command_ == head::kFrameCheckWord) {
        checkWordSent_.assign(message.begin() + 3, message.end());
      }
    } else if (message.size() == 1 && message[0] != head::kEnq) {
      command_ = message[0];
    } else {
      return;
    }
    storedAnswered_ = false;
    failedFetches_ = 0;
  }

  void NoteReply(std::span<const std::uint8_t> reply) {
    if (lastRequest_ != Bytes{head::kEnq}) return;
    if (command_ == head::kCmdReadStoredData) storedAnswered_ = true;
    if (command_ == head::kFrameIdentification) {
      identificationAnswer_.assign(reply.begin(), reply.end());
    }
    if (command_ == head::kFrameCheckWord) checkWordEcho_.assign(reply.begin(), reply.end());
  }

  sim::HeadEngine& engine_;
  std::vector<Fault> faults_;
  std::size_t next_ = 0;
  std::size_t transmissions_ = 0;
  Bytes spoilWith_;
  Bytes answer_;
  Bytes carried_;
  bool late_ = false;
  bool gone_ = false;

  Bytes lastRequest_;
  bool lastAnswered_ = true;
  int sameRequest_ = 0;
  int attempt_ = 0;
  bool exchangeOver_ = true;
  bool tooMany_ = false;
  std::vector<Bytes> failed_;
  std::uint8_t command_ = 0;
  bool storedAnswered_ = false;
  int failedFetches_ = 0;
  Bytes identificationAnswer_;
  Bytes checkWordSent_;
  Bytes checkWordEcho_;
};

}  // namespace hostile
