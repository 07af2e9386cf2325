#pragma once

// The head's protocol: bytes in, bytes out. Every command byte and frame is acknowledged with
// ACK, and each ENQ fetches the reply of the last command, with the documented lengths. The
// engine drives the head model, keeps the stored data block, and plays the scenario's faults.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/HeadModel.h"
#include "sim/MessageReader.h"
#include "sim/Scenario.h"
#include "sim/StoredData.h"

namespace sim {

// One message from the tool and what the head does about it.
struct Answer {
  std::vector<std::uint8_t> received;
  std::vector<std::uint8_t> bytes;     // may be empty: the head stays silent
  std::chrono::milliseconds delay{0};  // beyond the head's normal turnaround
  bool hangUp = false;                 // the line drops before the answer
  std::chrono::milliseconds downTime{0};
};

class HeadEngine {
 public:
  using StoreHandler = std::function<void(const HeadDataBlock&)>;

  // stored: the block the head holds at power-on, or none (it answers "NG").
  HeadEngine(const Scenario& scenario, std::optional<HeadDataBlock> stored, std::uint64_t seed,
             StoreHandler onStore = {});

  std::vector<Answer> Receive(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> DropPartial() { return reader_.DropPartial(); }
  bool HasPartial() const { return reader_.HasPartial(); }

  const std::optional<HeadDataBlock>& stored() const { return stored_; }
  HeadModel& model() { return model_; }

 private:
  enum class Pending {
    kNothing,
    kStoredAnswer,
    kStoredBlock,
    kReading,
    kSpeed,
    kLongLevels,
    kShortLevels,
    kS0tRegulation,
    kDaRegulation,
    kBlackLevels,
    kNoPaperBlock,
    kFrontExit,
    kEcho,
    kIdentification
  };
  enum class AutoPhase { kIdle, kWhite, kBlack, kNoPaper };

  Answer Handle(const Message& message);
  const LinkFault* FaultFor(MessageKind kind, std::uint8_t code);
  void FollowPaper(MessageKind kind, std::uint8_t code);
  void ApplyCommand(std::uint8_t code);
  void ApplyFrame(std::uint8_t code, std::span<const std::uint8_t> data);
  std::vector<std::uint8_t> Reply();
  std::vector<std::uint8_t> Noise(std::size_t count);
  void SetPaperFromPhase();

  Scenario scenario_;
  HeadModel model_;
  std::optional<HeadDataBlock> stored_;
  StoreHandler onStore_;
  MessageReader reader_;
  std::mt19937_64 random_;
  std::vector<std::uint32_t> faultCounts_;
  std::vector<std::uint32_t> paperCounts_;
  std::vector<bool> paperDone_;
  PaperMode paperMode_ = PaperMode::kAuto;
  AutoPhase phase_ = AutoPhase::kIdle;

  Pending pending_ = Pending::kNothing;
  std::uint8_t lastCode_ = 0;
  std::uint16_t speed_ = 0;
  RunRecord run_;
  bool identified_ = false;
  std::uint32_t silentLeft_ = 0;  // later messages a silent fault still swallows, whatever they are
};

}  // namespace sim
