#include "run/RecordedRun.h"

#include <cstdio>
#include <exception>
#include <nlohmann/json.hpp>

namespace {

// In the file's order: the channels stay in channel order.
using Json = nlohmann::ordered_json;

int Number(const Json& json, const char* key) {
  return json.at(key).get<int>();
}

std::optional<int> OptionalNumber(const Json& json, const char* key) {
  const auto found = json.find(key);
  if (found == json.end() || found->is_null()) return std::nullopt;
  return found->get<int>();
}

std::optional<ChannelValues> OptionalChannels(const Json& json, const char* key) {
  const auto found = json.find(key);
  if (found == json.end()) return std::nullopt;
  ChannelValues values;
  for (const auto& [name, value] : found->items()) values.push_back({name, value.get<int>()});
  return values;
}

IdentificationTexts TextsOf(const Json& json) {
  return {json.at("ModelCode").get<std::string>(), json.at("AdjustDate").get<std::string>(),
          json.at("HeadIdField").get<std::string>(), json.at("ProgramVersion").get<std::string>()};
}

RecordedRun RunOf(const Json& json, RecordParts parts) {
  if (json.at("tool").get<std::string>() != "qzr71adj") {
    throw std::runtime_error("not a record of this tool");
  }
  RecordedRun run;
  run.toolVersion = json.at("tool_version").get<std::string>();
  const Json& port = json.at("port");
  run.portName = port.at("name").get<std::string>();
  if (const Json& device = port.at("device"); !device.is_null()) {
    run.device = device.get<std::string>();
  }
  run.baudRate = OptionalNumber(port, "baud_rate");
  run.started = json.at("started").get<std::string>();
  run.ended = json.at("ended").get<std::string>();

  if (const Json& read = json.at("head_data"); !read.is_null()) {
    run.headData = RecordedRun::HeadData{read.at("stored_data").get<bool>(), TextsOf(read),
                                         Number(read, "CheckWord")};
  }

  const Json& measured = json.at("measured");
  if (const auto speeds = measured.find("MotorSpeed"); speeds != measured.end()) {
    run.motorSpeeds = speeds->get<std::vector<int>>();
  }
  run.whitePaperLevel = OptionalChannels(measured, "WhitePaperLevel");
  run.paperGain = OptionalChannels(measured, "PaperGain");
  run.daValue = OptionalChannels(measured, "DaValue");
  run.blackLevel = OptionalChannels(measured, "BlackLevel");
  run.noPaperGain = OptionalChannels(measured, "NoPaperGain");
  run.noPaperLevel = OptionalChannels(measured, "NoPaperLevel");
  run.frontLevelInPaper = OptionalNumber(measured, "FrontLevelInPaper");
  run.exitLevelInPaper = OptionalNumber(measured, "ExitLevelInPaper");
  run.frontLevelNoPaper = OptionalNumber(measured, "FrontLevelNoPaper");
  run.exitLevelNoPaper = OptionalNumber(measured, "ExitLevelNoPaper");
  run.checkWord = OptionalNumber(measured, "CheckWord");
  if (const auto written = json.find("written"); written != json.end()) {
    run.written = TextsOf(*written);
  }

  const Json& end = json.at("end");
  run.how = end.at("how").get<std::string>();
  run.lastStage = Number(end, "last_stage");
  run.lastItem = end.at("last_item").get<std::string>();
  run.result = Number(end, "result");
  run.headWritten = end.at("head_written").get<bool>();
  if (parts == RecordParts::kAll) run.log = end.at("log").get<std::vector<std::string>>();
  return run;
}

// How many bytes the UTF-8 sequence at text[at] takes, or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  unsigned code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

std::string Hex(unsigned code) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", code);
  return text;
}

}  // namespace

std::optional<RecordedRun> ReadRecordedRun(std::string_view text, std::string& problem,
                                           RecordParts parts) {
  try {
    if (parts == RecordParts::kAll) return RunOf(Json::parse(text), parts);
    // The log is most of a record; a listing of many records skips building it.
    const Json json = Json::parse(text, [](int depth, Json::parse_event_t event, Json& parsed) {
      return !(depth == 2 && event == Json::parse_event_t::key && parsed == "log");
    });
    return RunOf(json, parts);
  } catch (const Json::parse_error&) {
    problem = "not JSON";
  } catch (const std::exception& error) {
    problem = std::string("not the record of a run (") + error.what() + ")";
  }
  return std::nullopt;
}

std::string HeadLabel(const RecordedRun& run) {
  return run.headData ? run.headData->texts.HeadIdField : "head not read";
}

std::string ResultInWords(const RecordedRun& run) {
  if (run.how == "completed" || run.lastItem.empty()) return run.how;
  return run.how + (run.how == "failed" ? " in " : " after ") + run.lastItem;
}

std::string ShownText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x20 || lead == 0x7F) {
      shown += Hex(lead);
      ++at;
      continue;
    }
    if (lead < 0x80) {
      shown.push_back(text[at++]);
      continue;
    }
    const std::size_t length = SequenceLength(text, at);
    if (length == 0) {
      shown += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    // U+0080 to U+009F, the C1 controls: a head's bytes 128 to 159 as the record keeps them.
    if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
      shown += Hex(static_cast<unsigned char>(text[at + 1]));
    } else {
      shown.append(text.substr(at, length));
    }
    at += length;
  }
  return shown;
}
