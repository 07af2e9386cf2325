#include "sim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace sim {

bool Target::Matches(MessageKind messageKind, std::uint8_t messageCode) const {
  if (anyKind) return true;
  return kind == messageKind && (!code || *code == messageCode);
}

namespace {

struct Failure {
  std::string message;
};

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream stream(line.substr(0, line.find('#')));
  for (std::string token; stream >> token;) tokens.push_back(token);
  return tokens;
}

template <typename Number>
Number ParseNumber(const std::string& text, int base, const char* what) {
  Number value{};
  std::string_view view(text);
  if (base == 16 && (view.starts_with("0x") || view.starts_with("0X"))) view.remove_prefix(2);
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value, base);
  if (view.empty() || error != std::errc() || end != view.data() + view.size()) {
    throw Failure{std::string("bad ") + what + " '" + text + "'"};
  }
  return value;
}

std::uint8_t ParseByte(const std::string& text, int base = 10) {
  const auto value = ParseNumber<unsigned>(text, base, "byte");
  if (value > 255) throw Failure{"byte out of range '" + text + "'"};
  return static_cast<std::uint8_t>(value);
}

double ParseReal(const std::string& text) {
  try {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used == text.size() && value >= 0) return value;
  } catch (const std::exception&) {
  }
  throw Failure{"bad number '" + text + "'"};
}

Target ParseTarget(const std::string& text) {
  Target target;
  if (text == "any") {
    target.anyKind = true;
    return target;
  }
  const auto colon = text.find(':');
  if (colon == std::string::npos) throw Failure{"bad target '" + text + "'"};
  const std::string kind = text.substr(0, colon);
  const std::string code = text.substr(colon + 1);
  if (kind == "cmd") {
    target.kind = MessageKind::kCommand;
  } else if (kind == "frame") {
    target.kind = MessageKind::kFrame;
  } else if (kind == "enq") {
    target.kind = MessageKind::kEnq;
  } else {
    throw Failure{"bad target kind '" + kind + "' (cmd, frame, enq)"};
  }
  if (code != "any") target.code = ParseByte(code, 16);
  return target;
}

Occurrences ParseOccurrences(const std::string& token) {
  Occurrences when;
  if (token.ends_with('+')) {
    when.from = ParseNumber<std::uint32_t>(token.substr(0, token.size() - 1), 10, "occurrence");
  } else if (const auto dash = token.find('-'); dash != std::string::npos) {
    when.from = ParseNumber<std::uint32_t>(token.substr(0, dash), 10, "occurrence");
    when.to = ParseNumber<std::uint32_t>(token.substr(dash + 1), 10, "occurrence");
  } else {
    when.from = when.to = ParseNumber<std::uint32_t>(token, 10, "occurrence");
  }
  if (when.from == 0 || when.to < when.from) throw Failure{"bad occurrences '" + token + "'"};
  return when;
}

std::size_t ParseSensor(const std::string& name) {
  const auto sensor = FindSensor(name);
  if (!sensor) throw Failure{"unknown sensor '" + name + "'"};
  return *sensor;
}

// Two bytes given as text ("NG") or as "hex 4E 47".
TwoBytes ParseTwoBytes(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0].size() == 2)
    return {ParseByte(args[0], 16), ParseByte(args[1], 16)};
  if (args.size() == 1 && args[0].size() == 2) {
    return {static_cast<std::uint8_t>(args[0][0]), static_cast<std::uint8_t>(args[0][1])};
  }
  throw Failure{"expected two characters or two hex bytes"};
}

void Need(const std::vector<std::string>& tokens, std::size_t least, std::size_t most) {
  const std::size_t args = tokens.size() - 1;
  if (args < least || args > most)
    throw Failure{"wrong number of arguments to '" + tokens[0] + "'"};
}

std::optional<LinkFaultKind> LinkFaultNamed(const std::string& word) {
  if (word == "silent") return LinkFaultKind::kSilent;
  if (word == "wrong-ack") return LinkFaultKind::kWrongAck;
  if (word == "short") return LinkFaultKind::kShort;
  if (word == "extra") return LinkFaultKind::kExtra;
  if (word == "late") return LinkFaultKind::kLate;
  if (word == "garbage") return LinkFaultKind::kGarbage;
  if (word == "hangup") return LinkFaultKind::kHangUp;
  return std::nullopt;
}

const char* ValueKey(LinkFaultKind kind) {
  switch (kind) {
    case LinkFaultKind::kSilent:
      return "messages";
    case LinkFaultKind::kWrongAck:
      return "byte";
    case LinkFaultKind::kShort:
    case LinkFaultKind::kExtra:
    case LinkFaultKind::kGarbage:
      return "count";
    case LinkFaultKind::kLate:
      return "ms";
    case LinkFaultKind::kHangUp:
      return "down";
  }
  return "";
}

LinkFault ParseLinkFault(LinkFaultKind kind, const std::vector<std::string>& tokens) {
  Need(tokens, 1, 3);
  LinkFault fault;
  fault.kind = kind;
  fault.target = ParseTarget(tokens[1]);
  for (std::size_t i = 2; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (const auto equals = token.find('='); equals != std::string::npos) {
      const std::string key = token.substr(0, equals);
      const char* expected = ValueKey(kind);
      if (key != expected) {
        throw Failure{"'" + tokens[0] + "' takes " +
                      (*expected ? expected + std::string("=N") : "no value")};
      }
      fault.value =
          ParseNumber<std::uint32_t>(token.substr(equals + 1), key == "byte" ? 16 : 10, "value");
    } else {
      fault.when = ParseOccurrences(token);
    }
  }
  return fault;
}

PaperChange ParsePaper(const std::vector<std::string>& tokens) {
  Need(tokens, 1, 4);
  PaperChange change;
  const std::string& mode = tokens[1];
  if (mode == "auto") {
    change.mode = PaperMode::kAuto;
  } else if (mode == "white") {
    change.mode = PaperMode::kWhite;
  } else if (mode == "black") {
    change.mode = PaperMode::kBlack;
  } else if (mode == "none") {
    change.mode = PaperMode::kNone;
  } else {
    throw Failure{"bad paper '" + mode + "' (auto, white, black, none)"};
  }
  if (tokens.size() > 2) {
    if (tokens[2] != "at" || tokens.size() < 4) throw Failure{"expected 'at TARGET [N]'"};
    change.at = ParseTarget(tokens[3]);
    if (tokens.size() > 4) change.when = ParseOccurrences(tokens[4]);
  }
  return change;
}

// regulation SENSOR LEVEL [da D] [readings N-M]
SensorFault::RegulationAnswer ParseRegulationAnswer(const std::vector<std::string>& tokens) {
  SensorFault::RegulationAnswer answer;
  answer.level = ParseByte(tokens[2]);
  for (std::size_t i = 3; i < tokens.size(); i += 2) {
    if (i + 1 >= tokens.size()) throw Failure{"expected 'da D' or 'readings N-M'"};
    if (tokens[i] == "da") {
      answer.da = ParseByte(tokens[i + 1]);
    } else if (tokens[i] == "readings") {
      const Occurrences readings = ParseOccurrences(tokens[i + 1]);
      answer.from = static_cast<int>(readings.from);
      answer.to = static_cast<int>(std::min<std::uint32_t>(readings.to, 1u << 30));
    } else {
      throw Failure{"expected 'da D' or 'readings N-M'"};
    }
  }
  return answer;
}

std::optional<std::uint8_t>& FrontExitField(HeadFaults& head, const std::string& sensor,
                                            const std::string& state) {
  const bool inPaper = state == "in-paper";
  if (!inPaper && state != "no-paper") throw Failure{"expected in-paper or no-paper"};
  if (sensor == "front") return inPaper ? head.frontInPaper : head.frontNoPaper;
  return inPaper ? head.exitInPaper : head.exitNoPaper;
}

void ParseLine(const std::vector<std::string>& tokens, Scenario& scenario) {
  const std::string& word = tokens[0];
  HeadFaults& head = scenario.head;
  if (const auto kind = LinkFaultNamed(word)) {
    scenario.link.push_back(ParseLinkFault(*kind, tokens));
  } else if (word == "paper") {
    scenario.paper.push_back(ParsePaper(tokens));
  } else if (word == "fresh") {
    Need(tokens, 0, 0);
    scenario.fresh = true;
  } else if (word == "unit") {
    Need(tokens, 1, 1);
    scenario.unit = ParseNumber<std::uint32_t>(tokens[1], 10, "unit");
  } else if (word == "noise") {
    Need(tokens, 1, 1);
    head.noise = ParseReal(tokens[1]);
  } else if (word == "stored-answer" || word == "id-answer") {
    Need(tokens, 1, 2);
    const TwoBytes answer = ParseTwoBytes({tokens.begin() + 1, tokens.end()});
    (word == "stored-answer" ? head.storedAnswer : head.identificationAnswer) = answer;
  } else if (word == "echo") {
    Need(tokens, 1, 1);
    if (tokens[1] == "wrong") {
      head.echo = EchoFault::kWrong;
    } else if (tokens[1] == "swapped") {
      head.echo = EchoFault::kSwapped;
    } else {
      throw Failure{"expected 'echo wrong' or 'echo swapped'"};
    }
  } else if (word == "motor-speed") {
    Need(tokens, 1, 64);
    for (std::size_t i = 1; i < tokens.size(); ++i) {
      head.motorReadings.push_back(ParseNumber<std::uint16_t>(tokens[i], 10, "speed"));
    }
  } else if (word == "motor-nominal") {
    Need(tokens, 1, 1);
    head.motorNominal = ParseNumber<std::uint16_t>(tokens[1], 10, "speed");
  } else if (word == "stuck") {
    Need(tokens, 2, 2);
    head.sensors[ParseSensor(tokens[1])].stuckLevel = ParseByte(tokens[2]);
  } else if (word == "gain-response") {
    Need(tokens, 2, 2);
    SensorFault& fault = head.sensors[ParseSensor(tokens[1])];
    if (tokens[2] == "flat") {
      fault.response = GainResponse::kFlat;
    } else if (tokens[2] == "falling") {
      fault.response = GainResponse::kFalling;
    } else {
      throw Failure{"expected flat or falling"};
    }
  } else if (word == "sensitivity") {
    Need(tokens, 2, 2);
    head.sensors[ParseSensor(tokens[1])].sensitivity = ParseReal(tokens[2]);
  } else if (word == "led-droop") {
    Need(tokens, 2, 2);
    const double percent = ParseReal(tokens[2]);
    if (percent >= 100) throw Failure{"droop must stay below 100 percent"};
    head.sensors[ParseSensor(tokens[1])].ledDroop = percent / 100.0;
  } else if (word == "unstable-regulation") {
    Need(tokens, 1, 1);
    head.sensors[ParseSensor(tokens[1])].unstableRegulation = true;
  } else if (word == "black-level") {
    Need(tokens, 2, 4);
    SensorFault& fault = head.sensors[ParseSensor(tokens[1])];
    fault.blackLevel = ParseByte(tokens[2]);
    if (tokens.size() > 3) {
      if (tokens[3] != "readings" || tokens.size() != 5) throw Failure{"expected 'readings N-M'"};
      const Occurrences readings = ParseOccurrences(tokens[4]);
      fault.blackFrom = static_cast<int>(readings.from);
      fault.blackTo = static_cast<int>(std::min<std::uint32_t>(readings.to, 1u << 30));
    }
  } else if (word == "gain-level") {
    Need(tokens, 3, 4);
    SensorFault::GainLevel forced;
    forced.gain = ParseByte(tokens[2]);
    forced.level = ParseByte(tokens[3]);
    if (tokens.size() == 5) {
      if (tokens[4] != "long" && tokens[4] != "short") throw Failure{"expected long or short"};
      forced.longSet = tokens[4] == "long";
      forced.shortSet = !forced.longSet;
    }
    head.sensors[ParseSensor(tokens[1])].gainLevels.push_back(forced);
  } else if (word == "regulation") {
    Need(tokens, 2, 6);
    head.sensors[ParseSensor(tokens[1])].regulation.push_back(ParseRegulationAnswer(tokens));
  } else if (word == "data-select-stuck") {
    Need(tokens, 0, 10);
    for (std::size_t c = 0; c < 10; ++c) head.sensors[c].dataSelectStuck = tokens.size() == 1;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
      const std::size_t sensor = ParseSensor(tokens[i]);
      if (sensor >= 10) throw Failure{"only the first ten channels have a data select line"};
      head.sensors[sensor].dataSelectStuck = true;
    }
  } else if (word == "front" || word == "exit") {
    Need(tokens, 2, 2);
    FrontExitField(head, word, tokens[1]) = ParseByte(tokens[2]);
  } else {
    throw Failure{"unknown directive '" + word + "'"};
  }
}

}  // namespace

std::variant<Scenario, ScenarioError> ParseScenario(std::istream& in) {
  Scenario scenario;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.empty()) continue;
    try {
      ParseLine(tokens, scenario);
    } catch (const Failure& failure) {
      return ScenarioError{"line " + std::to_string(number) + ": " + failure.message};
    }
  }
  return scenario;
}

}  // namespace sim
