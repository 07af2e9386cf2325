#include "records/RunRecord.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <span>

#include "Qzr71Version.h"
#include "adjust/NonPaperAdjust.h"
#include "adjust/SensorTables.h"
#include "records/RecordKeys.h"

namespace {

using Json = nlohmann::ordered_json;
namespace key = record_key;

constexpr std::size_t kB0tChannel = 22;
constexpr std::size_t kGainStepChannels = 10;  // channels 0..9, then b0t_ir

// The eight bytes of a text as the head stores them, zero bytes and all: a field never written,
// or padded, holds some, and what follows a zero byte goes to the head all the same.
std::string BytesOf(const AdjustmentRecord::Text8& field) {
  return std::string(field.data(), 8);
}

// The bytes are 8-bit code page characters; each maps to the Unicode character of the same
// number, so that nothing is lost and the JSON stays valid UTF-8.
std::string TextOf(const AdjustmentRecord::Text8& field) {
  std::string text;
  for (const char c : BytesOf(field)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(static_cast<char>(byte));
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

Json Channels24(std::span<const std::uint8_t> values, std::size_t first, std::size_t last) {
  Json channels = Json::object();
  for (std::size_t i = first; i <= last; ++i) channels[std::string(SensorName(i))] = values[i];
  return channels;
}

Json Channels16(std::span<const std::uint8_t, head::kChannels16> values) {
  Json channels = Json::object();
  for (std::size_t i = 0; i < values.size(); ++i) {
    channels[std::string(SensorName16(i))] = values[i];
  }
  return channels;
}

std::uint32_t CountOf(const RunFacts& facts, ProgressStep step) {
  const auto seen = facts.steps.find(step);
  return seen == facts.steps.end() ? 0 : seen->second.count;
}

bool StageSucceeded(const RunFacts& facts, std::uint8_t stage) {
  const RunEnding& end = facts.ending;
  return stage < end.lastStage || (stage == end.lastStage && end.lastResult == kStepSucceeded);
}

Json PortJson(const PortFacts& port) {
  Json json;
  json[key::kPortName] = port.name;
  json[key::kDevice] = port.device ? Json(*port.device) : Json(nullptr);
  json[key::kOpen] = port.open;
  if (port.line) {
    static constexpr std::array<const char*, 3> kParity{"none", "odd", "even"};
    // Whole numbers stay integers: 1 and 2, and 1.5.
    const std::array<Json, 3> kStopBits{1, 1.5, 2};
    json[key::kBaudRate] = port.line->baudRate;
    json[key::kByteSize] = port.line->byteSize;
    json[key::kParity] =
        port.line->parity < kParity.size() ? kParity[port.line->parity] : "unknown";
    json[key::kStopBits] =
        port.line->stopBits < kStopBits.size() ? kStopBits[port.line->stopBits] : Json(nullptr);
  }
  return json;
}

Json HeadDataJson(const HeadDataFacts& read) {
  // A head without stored data sent no texts: the zeros the tool put in their place are not its.
  const auto held = [&read](const AdjustmentRecord::Text8& field) {
    return read.storedData ? TextOf(field) : std::string();
  };
  Json json;
  json[key::kStoredData] = read.storedData;
  json[key::kModelCode] = held(read.ModelCode);
  json[key::kAdjustDate] = held(read.AdjustDate);
  // What the tool writes back, dashes when none.
  json[key::kHeadIdField] = TextOf(read.HeadIdField);
  json[key::kProgramVersion] = held(read.ProgramVersion);
  json[key::kCheckWord] = read.CheckWord;
  return json;
}

// Rows of the register checks: channels 0..9 and b0t_ir at gain 2^r with white paper, and the
// s0t_ir reading without paper at its own gain.
Json GainStepRows(const RunFacts& facts) {
  const std::size_t rows = std::min<std::size_t>(CountOf(facts, ProgressStep::kGainStepCheck), 6);
  const std::size_t s0tRows =
      std::min(CountOf(facts, ProgressStep::kS0tGainResponse), std::uint32_t{5});
  Json json = Json::array();
  for (std::size_t r = 0; r < std::max(rows, s0tRows); ++r) {
    const auto& levels = facts.record.GainStepLevel[r];
    Json row = Json::object();
    if (r < rows) {
      row[key::kGain] = 1u << r;
      for (std::size_t i = 0; i < kGainStepChannels; ++i) {
        row[std::string(SensorName(i))] = levels[i];
      }
      row[std::string(SensorName(kB0tChannel))] = levels[kGainStepChannels];
    }
    if (r < s0tRows) {
      row[key::kS0tGain] = kS0tResponseGains[r];
      row[std::string(SensorName16(kS0tIndex16))] = levels[kS0tIndex16];
    }
    json.push_back(row);
  }
  return json;
}

Json MeasuredJson(const RunFacts& facts) {
  using P = ProgressStep;
  const AdjustmentRecord& record = facts.record;
  Json json = Json::object();
  if (!facts.motorSpeeds.empty()) json[key::kMotorSpeed] = facts.motorSpeeds;
  if (CountOf(facts, P::kGainStepCheck) > 0 || CountOf(facts, P::kS0tGainResponse) > 0) {
    json[key::kGainStepLevel] = GainStepRows(facts);
  }
  if (facts.Saw(P::kGainAdjustment24)) {
    json[key::kPaperGain] = Channels24(record.PaperGain, 0, head::kChannels24 - 1);
  }
  const bool daAdjusted = CountOf(facts, P::kDaAdjustment) > 0;
  const bool s0tAdjusted = CountOf(facts, P::kS0tAutoAdjust) > 0;
  if (daAdjusted && !facts.whitePaperLevels.empty()) {
    json[key::kWhitePaperLevel] =
        Channels24(facts.whitePaperLevels, 0, facts.whitePaperLevels.size() - 1);
  }
  if (daAdjusted || s0tAdjusted) {
    Json da = daAdjusted ? Channels24(record.DaValue, 0, head::kChannels24 - 2) : Json::object();
    if (s0tAdjusted) da.update(Channels24(record.DaValue, 23, 23));
    json[key::kDaValue] = da;
  }
  if (CountOf(facts, P::kBlackLevelCheck) > 0) {
    json[key::kBlackLevel] = Channels24(record.BlackLevel, 0, head::kChannels24 - 1);
  }
  // Read after the black levels passed, the last thing the black paper item does.
  if (StageSucceeded(facts, 2)) {
    json[key::kFrontLevelInPaper] = record.FrontLevelInPaper;
    json[key::kExitLevelInPaper] = record.ExitLevelInPaper;
  }
  if (facts.Saw(P::kGainAdjustment16)) json[key::kNoPaperGain] = Channels16(record.NoPaperGain);
  const auto frontExit = facts.steps.find(P::kFrontExitCheck);
  if (frontExit != facts.steps.end() && frontExit->second.verdict) {
    json[key::kNoPaperLevel] = Channels16(record.NoPaperLevel);
    json[key::kFrontLevelNoPaper] = record.FrontLevelNoPaper;
    json[key::kExitLevelNoPaper] = record.ExitLevelNoPaper;
  }
  if (facts.Saw(P::kVerifyCheckWord)) json[key::kCheckWord] = record.CheckWord;
  return json;
}

Json WrittenJson(const AdjustmentRecord& record) {
  Json json;
  json[key::kModelCode] = TextOf(record.ModelCode);
  json[key::kAdjustDate] = TextOf(record.AdjustDate);
  json[key::kHeadIdField] = TextOf(record.HeadIdField);
  json[key::kProgramVersion] = TextOf(record.ProgramVersion);
  return json;
}

Json EndJson(const RunFacts& facts) {
  Json json;
  json[key::kHow] = RunEndName(facts.ending.how);
  json[key::kLastStage] = facts.ending.lastStage;
  json[key::kLastItem] = StageName(facts.ending.lastStage);
  json[key::kResult] = facts.ending.lastResult;
  json[key::kHeadWritten] = facts.HeadWritten();
  json[key::kLog] = facts.log;
  return json;
}

std::string SafeFileNamePart(std::string_view text) {
  std::string part(text);
  for (char& c : part) {
    const bool keep =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!keep) c = '_';
  }
  return part;
}

// For the file name, without the zero bytes that pad a short field.
std::string HeadIdBytes(const RunFacts& facts) {
  std::string bytes = facts.headData ? BytesOf(facts.headData->HeadIdField) : std::string();
  bytes.erase(bytes.find_last_not_of('\0') + 1);
  return bytes;
}

}  // namespace

std::string_view RunEndName(RunEnd how) {
  switch (how) {
    case RunEnd::kCompleted:
      return run_end::kCompleted;
    case RunEnd::kFailed:
      return run_end::kFailed;
    case RunEnd::kAbandoned:
      return run_end::kAbandoned;
    case RunEnd::kWindowClosed:
      return run_end::kWindowClosed;
  }
  return "";
}

std::string_view StageName(std::uint8_t stage) {
  static constexpr std::array<std::string_view, 5> kNames{
      "1. Motor speed check", "2. White paper adjustment", "3. Black paper adjustment",
      "4. Non paper adjustment", "Writing to the head"};
  return stage < kNames.size() ? kNames[stage] : "";
}

std::string RecordText(const RunFacts& facts) {
  Json json;
  json[key::kTool] = kRecordTool;
  json[key::kToolVersion] = kToolVersion;
  json[key::kPort] = PortJson(facts.port);
  json[key::kStarted] = facts.started.iso;
  json[key::kEnded] = facts.ended.iso;
  json[key::kHeadData] = facts.headData ? HeadDataJson(*facts.headData) : Json(nullptr);
  json[key::kMeasured] = MeasuredJson(facts);
  if (facts.Saw(ProgressStep::kWriteAdjustments)) json[key::kWritten] = WrittenJson(facts.record);
  json[key::kEnd] = EndJson(facts);
  // A device path is the only text not made here; should it not be UTF-8, it is mended rather
  // than costing the record.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string RecordFileStem(const RunFacts& facts) {
  std::string id = facts.headData ? SafeFileNamePart(HeadIdBytes(facts)) : "unread";
  if (id.empty()) id = "blank";
  return facts.started.compact + "_" + id;
}

std::string_view HistoryHeader() {
  return "Start time,Identification field,Result,Last stage,Motor speed,s0t_ir gain,Check word,"
         "Record file\r\n";
}

std::string CsvCell(std::string_view text) {
  // As the pages show it, control characters by number; then one '?' for each character outside
  // ASCII (a lead byte; the bytes that continue it are left out).
  std::string cell;
  for (const char c : ShownText(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) cell.push_back(c);
    if (byte >= 0xC0) cell.push_back('?');
  }
  if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos) {
    cell.insert(cell.begin(), '\'');
  }
  if (cell.find_first_of(",;\"") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string HistoryLine(const RecordedRun& run, std::string_view recordFile) {
  const auto number = [](int value) { return std::to_string(value); };
  std::string s0tGain;
  for (const NamedValue& channel : run.noPaperGain.value_or(ChannelValues{})) {
    if (channel.name == SensorName16(kS0tIndex16)) s0tGain = number(channel.value);
  }
  const std::string cells[] = {
      run.started,
      run.headData ? run.headData->texts.HeadIdField : std::string(),
      run.how,
      run.lastItem,
      run.motorSpeeds.empty() ? "" : number(run.motorSpeeds.back()),
      s0tGain,
      // Decimal: a spreadsheet would read a hexadecimal word such as 12E4 as a number.
      run.checkWord ? number(*run.checkWord) : "",
      std::string(recordFile),
  };
  std::string line;
  for (std::size_t i = 0; i < std::size(cells); ++i) {
    if (i > 0) line.push_back(',');
    line += CsvCell(cells[i]);
  }
  return line + "\r\n";
}
