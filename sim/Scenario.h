#pragma once

// What a scenario file asks of the head: link faults on chosen messages, defects of the head
// itself, and where the technician's paper is. The file format is described in sim/README.md.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "sim/HeadFaults.h"
#include "sim/Sensors.h"

namespace sim {

enum class MessageKind { kCommand, kFrame, kEnq };

// Which messages from the tool a rule watches. For ENQ the code is the command whose reply the
// ENQ fetches.
struct Target {
  bool anyKind = false;
  MessageKind kind = MessageKind::kCommand;
  std::optional<std::uint8_t> code;  // empty: any code

  bool Matches(MessageKind messageKind, std::uint8_t messageCode) const;
};

// The n-th messages a rule acts on, counted from 1 among the messages its target matches since
// the simulator started.
struct Occurrences {
  std::uint32_t from = 1;
  std::uint32_t to = UINT32_MAX;
  bool Contains(std::uint32_t n) const { return n >= from && n <= to; }
};

enum class LinkFaultKind { kSilent, kWrongAck, kShort, kExtra, kLate, kGarbage, kHangUp };

struct LinkFault {
  LinkFaultKind kind = LinkFaultKind::kSilent;
  Target target;
  Occurrences when;
  std::optional<std::uint32_t> value;  // byte, count, milliseconds or messages, by fault kind
};

enum class PaperMode { kAuto, kWhite, kBlack, kNone };

struct PaperChange {
  PaperMode mode = PaperMode::kAuto;
  std::optional<Target> at;  // empty: from the start
  Occurrences when;
};

struct Scenario {
  HeadFaults head;
  std::vector<LinkFault> link;
  std::vector<PaperChange> paper;
  bool fresh = false;
  std::uint32_t unit = 1;
};

struct ScenarioError {
  std::string message;  // "line N: what is wrong"
};

std::variant<Scenario, ScenarioError> ParseScenario(std::istream& in);

}  // namespace sim
