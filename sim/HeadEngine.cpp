#include "sim/HeadEngine.h"

#include <algorithm>
#include <cctype>

#include "link/HeadCommands.h"

namespace sim {

namespace {

constexpr std::uint8_t kNak = 0x15;
constexpr std::chrono::milliseconds kLateMargin{250};

bool SaysNg(std::span<const std::uint8_t> answer) {
  return answer.size() == 2 && std::toupper(answer[0]) == 'N' && std::toupper(answer[1]) == 'G';
}

bool SaysOk(std::span<const std::uint8_t> answer) {
  return answer.size() == 2 && std::toupper(answer[0]) == 'O' && std::toupper(answer[1]) == 'K';
}

template <std::size_t N>
void CopyInto(std::array<std::uint8_t, N>& target, std::span<const std::uint8_t> data) {
  std::copy_n(data.begin(), std::min(N, data.size()), target.begin());
}

template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& values) {
  return {values.begin(), values.end()};
}

bool LosesMessage(LinkFaultKind kind) {
  return kind == LinkFaultKind::kSilent || kind == LinkFaultKind::kWrongAck ||
         kind == LinkFaultKind::kGarbage || kind == LinkFaultKind::kHangUp;
}

}  // namespace

HeadEngine::HeadEngine(const Scenario& scenario, std::optional<HeadDataBlock> stored,
                       std::uint64_t seed, StoreHandler onStore)
    : scenario_(scenario),
      model_(MakeUnit(scenario.unit), scenario.head, seed),
      stored_(std::move(stored)),
      onStore_(std::move(onStore)),
      random_(seed ^ 0x9E3779B97F4A7C15ull),
      faultCounts_(scenario.link.size(), 0),
      paperCounts_(scenario.paper.size(), 0),
      paperDone_(scenario.paper.size(), false) {
  if (stored_) {
    // At power-on the head loads its registers from its stored adjustment.
    std::copy_n(stored_->begin() + block::kDaValues, 24, model_.da.begin());
    std::copy_n(stored_->begin() + block::kPaperGains, 24, model_.gain24.begin());
    std::copy_n(stored_->begin() + block::kNoPaperGains, 16, model_.gain16.begin());
    std::copy_n(stored_->begin() + block::kNoPaperLevels, 16, run_.noPaperLevels.begin());
    std::copy_n(stored_->begin() + block::kBlackLevels, 24, run_.blackLevels.begin());
    run_.checkWord = head::LittleEndian16(stored_->data() + block::kCheckWord);
  }
  for (std::size_t i = 0; i < scenario_.paper.size(); ++i) {
    if (!scenario_.paper[i].at) {
      paperMode_ = scenario_.paper[i].mode;
      paperDone_[i] = true;
    }
  }
  SetPaperFromPhase();
}

std::vector<Answer> HeadEngine::Receive(std::span<const std::uint8_t> bytes) {
  std::vector<Answer> answers;
  for (const Message& message : reader_.Feed(bytes)) answers.push_back(Handle(message));
  return answers;
}

const LinkFault* HeadEngine::FaultFor(MessageKind kind, std::uint8_t code) {
  const LinkFault* chosen = nullptr;
  for (std::size_t i = 0; i < scenario_.link.size(); ++i) {
    const LinkFault& fault = scenario_.link[i];
    if (!fault.target.Matches(kind, code)) continue;
    ++faultCounts_[i];
    if (!chosen && fault.when.Contains(faultCounts_[i])) chosen = &fault;
  }
  return chosen;
}

void HeadEngine::FollowPaper(MessageKind kind, std::uint8_t code) {
  for (std::size_t i = 0; i < scenario_.paper.size(); ++i) {
    const PaperChange& change = scenario_.paper[i];
    if (paperDone_[i] || !change.at || !change.at->Matches(kind, code)) continue;
    if (change.when.Contains(++paperCounts_[i])) {
      paperMode_ = change.mode;
      paperDone_[i] = true;
      SetPaperFromPhase();
    }
  }
}

void HeadEngine::SetPaperFromPhase() {
  switch (paperMode_) {
    case PaperMode::kWhite:
      model_.paper = Paper::kWhite;
      return;
    case PaperMode::kBlack:
      model_.paper = Paper::kBlack;
      return;
    case PaperMode::kNone:
      model_.paper = Paper::kNone;
      return;
    case PaperMode::kAuto:
      break;
  }
  // A careful technician: white paper for the white item, black for the black item, then out.
  switch (phase_) {
    case AutoPhase::kWhite:
      model_.paper = Paper::kWhite;
      break;
    case AutoPhase::kBlack:
      model_.paper = Paper::kBlack;
      break;
    case AutoPhase::kIdle:
    case AutoPhase::kNoPaper:
      model_.paper = Paper::kNone;
      break;
  }
}

Answer HeadEngine::Handle(const Message& message) {
  const MessageKind kind = message.kind;
  const std::uint8_t code = kind == MessageKind::kEnq ? lastCode_ : message.code;
  FollowPaper(kind, code);
  const LinkFault* fault = FaultFor(kind, code);
  if (silentLeft_ > 0) {
    // The head is still dead to the line: nothing reaches it, nothing comes back.
    --silentLeft_;
    Answer lostMessage;
    lostMessage.received = message.bytes;
    return lostMessage;
  }
  const bool lost = fault && LosesMessage(fault->kind);

  Answer answer;
  answer.received = message.bytes;
  if (!lost) {
    if (kind == MessageKind::kEnq) {
      answer.bytes = Reply();
    } else {
      if (kind == MessageKind::kFrame) {
        ApplyFrame(code, message.Data());
      } else {
        ApplyCommand(code);
      }
      answer.bytes = {head::kAck};
    }
  }
  if (!fault) return answer;

  const auto value = fault->value;
  switch (fault->kind) {
    case LinkFaultKind::kSilent:
      // messages=N: this message and the N - 1 after it, of any kind, are lost.
      if (value && *value > 1) silentLeft_ = *value - 1;
      break;
    case LinkFaultKind::kWrongAck:
      answer.bytes = {static_cast<std::uint8_t>(value.value_or(kNak))};
      break;
    case LinkFaultKind::kShort: {
      const std::size_t drop = std::min<std::size_t>(value.value_or(1), answer.bytes.size());
      answer.bytes.resize(answer.bytes.size() - drop);
      break;
    }
    case LinkFaultKind::kExtra: {
      const std::vector<std::uint8_t> extra = Noise(value.value_or(3));
      answer.bytes.insert(answer.bytes.end(), extra.begin(), extra.end());
      break;
    }
    case LinkFaultKind::kLate: {
      // The tool waits 500 ms plus 5 ms per expected byte; answer after that.
      const auto expected = std::max<std::size_t>(answer.bytes.size(), 1);
      answer.delay = value ? std::chrono::milliseconds(*value)
                           : std::chrono::milliseconds(500 + 5 * expected) + kLateMargin;
      break;
    }
    case LinkFaultKind::kGarbage:
      answer.bytes = Noise(value.value_or(kind == MessageKind::kEnq ? 8 : 1));
      break;
    case LinkFaultKind::kHangUp:
      answer.bytes.clear();
      answer.hangUp = true;
      answer.downTime = std::chrono::milliseconds(value.value_or(1000));
      break;
  }
  return answer;
}

std::vector<std::uint8_t> HeadEngine::Noise(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) {
    // Never an ACK, so a garbled acknowledgement is never mistaken for a good one.
    do {
      byte = static_cast<std::uint8_t>(random_() & 0xFF);
    } while (byte == head::kAck);
  }
  return bytes;
}

void HeadEngine::ApplyCommand(std::uint8_t code) {
  lastCode_ = code;
  pending_ = Pending::kNothing;
  switch (code) {
    case head::kCmdReadStoredData:
      pending_ = Pending::kStoredAnswer;
      phase_ = AutoPhase::kIdle;
      identified_ = false;
      SetPaperFromPhase();
      break;
    case head::kCmdTakeReading:
      model_.StopRegulation();
      pending_ = Pending::kReading;
      break;
    case head::kCmdEndReading:
      model_.StopRegulation();
      model_.StopMotor();
      break;
    default:
      break;
  }
}

void HeadEngine::ApplyFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
  lastCode_ = code;
  pending_ = Pending::kNothing;
  const AutoPhase before = phase_;
  switch (code) {
    case head::kFrameOpening:
      model_.StopRegulation();
      break;
    case head::kFrameMotor:
      if (!data.empty() && data[0] == head::kMotorStartData) model_.StartMotor();
      if (!data.empty() && data[0] == head::kMotorStopData) model_.StopMotor();
      break;
    case head::kFrameMotorSpeed:
      speed_ = model_.MeasureMotorSpeed();
      pending_ = Pending::kSpeed;
      break;
    case head::kFrameDa24:
      model_.StopRegulation();
      CopyInto(model_.da, data);
      if (phase_ == AutoPhase::kIdle) phase_ = AutoPhase::kWhite;
      break;
    case head::kFrameGain24:
      model_.StopRegulation();
      CopyInto(model_.gain24, data);
      if (phase_ == AutoPhase::kIdle) phase_ = AutoPhase::kWhite;
      pending_ = Pending::kLongLevels;
      break;
    case head::kFrameGain16:
      model_.StopRegulation();
      CopyInto(model_.gain16, data);
      if (phase_ == AutoPhase::kBlack) phase_ = AutoPhase::kNoPaper;
      pending_ = Pending::kShortLevels;
      break;
    case head::kFrameS0tAdjust:
      if (phase_ == AutoPhase::kBlack) phase_ = AutoPhase::kNoPaper;
      model_.StartS0tRegulation();
      pending_ = Pending::kS0tRegulation;
      break;
    case head::kFrameDaAdjust:
      model_.StartDaRegulation();
      pending_ = Pending::kDaRegulation;
      break;
    case head::kFrameBlackLevel:
      model_.StopRegulation();
      phase_ = AutoPhase::kBlack;
      model_.StartBlackMeasurement();
      pending_ = Pending::kBlackLevels;
      break;
    case head::kFrameNoPaperBlock:
      model_.StopRegulation();
      if (phase_ == AutoPhase::kBlack) phase_ = AutoPhase::kNoPaper;
      pending_ = Pending::kNoPaperBlock;
      break;
    case head::kFrameFrontExit:
      model_.StopRegulation();
      pending_ = Pending::kFrontExit;
      break;
    case head::kFrameCheckWord:
      if (data.size() >= 2) run_.checkWord = head::LittleEndian16(data.data());
      pending_ = Pending::kEcho;
      break;
    case head::kFrameIdentification:
      CopyInto(run_.identification, data);
      identified_ = false;
      pending_ = Pending::kIdentification;
      break;
    case head::kFrameFinish:
      if (identified_) {
        run_.daValues = model_.da;
        run_.paperGains = model_.gain24;
        run_.noPaperGains = model_.gain16;
        stored_ = ComposeBlock(run_);
        identified_ = false;
        if (onStore_) onStore_(*stored_);
      }
      break;
    default:
      break;
  }
  if (phase_ != before) SetPaperFromPhase();
}

std::vector<std::uint8_t> HeadEngine::Reply() {
  const HeadFaults& faults = scenario_.head;
  switch (pending_) {
    case Pending::kNothing:
      return {};
    case Pending::kStoredAnswer: {
      const TwoBytes ok = {'O', 'K'};
      const TwoBytes ng = {'N', 'G'};
      const TwoBytes answer = faults.storedAnswer.value_or(stored_ ? ok : ng);
      if (!SaysNg(answer)) pending_ = Pending::kStoredBlock;
      return Bytes(answer);
    }
    case Pending::kStoredBlock: {
      // A head that claims data it never stored sends its erased memory.
      HeadDataBlock erased;
      erased.fill(0xFF);
      return Bytes(stored_.value_or(erased));
    }
    case Pending::kReading:
      return Bytes(model_.TakeReading());
    case Pending::kSpeed:
      return {static_cast<std::uint8_t>(speed_ & 0xFF), static_cast<std::uint8_t>(speed_ >> 8)};
    case Pending::kLongLevels:
      return Bytes(model_.ReadLong());
    case Pending::kShortLevels:
      return Bytes(model_.ReadShort());
    case Pending::kS0tRegulation:
      return Bytes(model_.S0tRegulationStep());
    case Pending::kDaRegulation:
      return Bytes(model_.DaRegulationStep());
    case Pending::kBlackLevels:
      run_.blackLevels = model_.BlackReading();
      return Bytes(run_.blackLevels);
    case Pending::kNoPaperBlock:
      run_.noPaperLevels = model_.ReadShort();
      return Bytes(run_.noPaperLevels);
    case Pending::kFrontExit:
      return Bytes(model_.FrontExitLevels());
    case Pending::kEcho: {
      std::uint16_t word = run_.checkWord;
      if (faults.echo == EchoFault::kWrong) word ^= 0x0101;
      if (faults.echo == EchoFault::kSwapped)
        word = static_cast<std::uint16_t>((word << 8) | (word >> 8));
      return {static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8)};
    }
    case Pending::kIdentification: {
      const TwoBytes answer = faults.identificationAnswer.value_or(TwoBytes{'O', 'K'});
      identified_ = SaysOk(answer);
      return Bytes(answer);
    }
  }
  return {};
}

}  // namespace sim
