#include "run/RecordedRun.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>

namespace {

using Json = nlohmann::json;

// Reads a record as the parser meets it, without building the whole document: a listing reads
// thousands of records, and most of a record (the register check's rows, the log) is not shown.
// Each value is placed by its path of keys; a value of the wrong kind makes the file no record.
class RecordReader {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  RecordReader(RecordedRun& run, RecordParts parts) : run_(run), parts_(parts) {}

  bool null() { return Take(Scalar{Kind::kNull}); }
  bool boolean(bool value) { return Take(Scalar{Kind::kBool, value}); }
  bool number_integer(number_integer_t value) { return Number(value); }
  bool number_unsigned(number_unsigned_t value) {
    return Number(
        static_cast<number_integer_t>(std::min(value, static_cast<number_unsigned_t>(kLargest))));
  }
  bool number_float(number_float_t value, const string_t&) {
    return Number(static_cast<number_integer_t>(std::clamp(
        value, -static_cast<number_float_t>(kLargest), static_cast<number_float_t>(kLargest))));
  }
  bool string(string_t& value) { return Take(Scalar{Kind::kText, false, 0, &value}); }
  bool binary(binary_t&) { return Fail("binary data"); }
  bool start_object(std::size_t) { return Open(true); }
  bool start_array(std::size_t) { return Open(false); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(string_t& name) {
    path_.back().key = name;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    if (problem_.empty()) problem_ = "not JSON";
    return false;
  }

  // The reason when the text was no record; checked once the parse has ended.
  std::string Problem() const {
    if (!problem_.empty()) return problem_;
    for (const auto& [seen, name] : {std::pair{seenTool_, "tool"},
                                     {!run_.started.empty(), "started"},
                                     {seenMeasured_, "measured"},
                                     {!run_.how.empty(), "end"}}) {
      if (!seen) return std::string("not the record of a run (no ") + name + ")";
    }
    return {};
  }

 private:
  enum class Kind : std::uint8_t { kNull, kBool, kNumber, kText, kObject, kArray };
  struct Scalar {
    Kind kind;
    bool flag = false;
    number_integer_t number = 0;
    const std::string* text = nullptr;
  };
  struct Level {
    bool object;
    std::string key;
    std::size_t items = 0;
  };

  // Numbers beyond any value of a record are held at this size, so that they stay ints.
  static constexpr number_integer_t kLargest = 1'000'000'000;

  bool Number(number_integer_t value) {
    return Take(Scalar{Kind::kNumber, false, std::clamp(value, -kLargest, kLargest)});
  }

  bool Fail(const std::string& what) {
    if (problem_.empty()) problem_ = "not the record of a run (" + what + ")";
    return false;
  }

  // The key of the value now met at depth `depth` (0: the document's own keys).
  const std::string& KeyAt(std::size_t depth) const { return path_[depth].key; }

  bool Open(bool object) {
    const std::size_t depth = path_.size();
    if (depth == 0 && !object) return Fail("not an object");
    if (depth > 0 && !Container(object)) return false;
    path_.push_back({object, {}});
    return true;
  }

  bool Close() {
    path_.pop_back();
    if (!path_.empty()) ++path_.back().items;
    return true;
  }

  // An object or array opening inside the record: the record's own sections must be objects,
  // and a set of channels gets its place; anything under an unknown key is passed over.
  bool Container(bool object) {
    const std::size_t depth = path_.size();
    const std::string& key = KeyAt(0);
    if (depth == 1) {
      const bool section = key == "port" || key == "head_data" || key == "measured" ||
                           key == "written" || key == "end";
      if (section && !object) return Fail(key + " is not an object");
      if (key == "head_data") run_.headData.emplace();
      if (key == "written") run_.written.emplace();
      if (key == "measured") seenMeasured_ = true;
      return true;
    }
    if (depth == 2 && key == "measured" && object) {
      if (std::optional<ChannelValues>* values = ChannelsOf(KeyAt(1))) values->emplace();
    }
    return true;
  }

  std::optional<ChannelValues>* ChannelsOf(const std::string& key) {
    if (key == "WhitePaperLevel") return &run_.whitePaperLevel;
    if (key == "PaperGain") return &run_.paperGain;
    if (key == "DaValue") return &run_.daValue;
    if (key == "BlackLevel") return &run_.blackLevel;
    if (key == "NoPaperGain") return &run_.noPaperGain;
    if (key == "NoPaperLevel") return &run_.noPaperLevel;
    return nullptr;
  }

  std::optional<int>* LevelOf(const std::string& key) {
    if (key == "FrontLevelInPaper") return &run_.frontLevelInPaper;
    if (key == "ExitLevelInPaper") return &run_.exitLevelInPaper;
    if (key == "FrontLevelNoPaper") return &run_.frontLevelNoPaper;
    if (key == "ExitLevelNoPaper") return &run_.exitLevelNoPaper;
    if (key == "CheckWord") return &run_.checkWord;
    return nullptr;
  }

  static std::string* TextOf(IdentificationTexts& texts, const std::string& key) {
    if (key == "ModelCode") return &texts.ModelCode;
    if (key == "AdjustDate") return &texts.AdjustDate;
    if (key == "HeadIdField") return &texts.HeadIdField;
    if (key == "ProgramVersion") return &texts.ProgramVersion;
    return nullptr;
  }

  bool Text(const Scalar& value, std::string& into, const std::string& name) {
    if (value.kind != Kind::kText) return Fail(name + " is not a text");
    into = *value.text;
    return true;
  }

  bool Int(const Scalar& value, int& into, const std::string& name) {
    if (value.kind != Kind::kNumber) return Fail(name + " is not a number");
    into = static_cast<int>(value.number);
    return true;
  }

  bool Int(const Scalar& value, std::optional<int>& into, const std::string& name) {
    if (value.kind == Kind::kNull) return true;
    return Int(value, into.emplace(), name);
  }

  bool Bool(const Scalar& value, bool& into, const std::string& name) {
    if (value.kind != Kind::kBool) return Fail(name + " is not true or false");
    into = value.flag;
    return true;
  }

  bool Take(const Scalar& value) {
    const std::size_t depth = path_.size();
    if (depth == 0) return Fail("not an object");
    const bool taken = depth == 1   ? Top(value)
                       : depth == 2 ? Inner(value)
                       : depth == 3 ? Deeper(value)
                                    : true;
    ++path_.back().items;
    return taken;
  }

  bool Top(const Scalar& value) {
    const std::string& key = KeyAt(0);
    if (key == "tool") {
      std::string tool;
      if (!Text(value, tool, key)) return false;
      seenTool_ = true;
      return tool == "qzr71adj" || Fail("not a record of this tool");
    }
    if (key == "tool_version") return Text(value, run_.toolVersion, key);
    if (key == "started") return Text(value, run_.started, key);
    if (key == "ended") return Text(value, run_.ended, key);
    if (key == "head_data") return value.kind == Kind::kNull || Fail("head_data is not an object");
    if (key == "port" || key == "measured" || key == "end") return Fail(key + " is not an object");
    return true;
  }

  bool Inner(const Scalar& value) {
    const std::string& section = KeyAt(0);
    const std::string& key = KeyAt(1);
    if (section == "port") {
      if (key == "name") return Text(value, run_.portName, key);
      if (key == "device") return value.kind == Kind::kNull || Text(value, run_.device, key);
      if (key == "baud_rate") return Int(value, run_.baudRate, key);
      return true;
    }
    if (section == "head_data" && run_.headData) {
      if (key == "stored_data") return Bool(value, run_.headData->storedData, key);
      if (key == "CheckWord") return Int(value, run_.headData->CheckWord, key);
      if (std::string* text = TextOf(run_.headData->texts, key)) return Text(value, *text, key);
      return true;
    }
    if (section == "written" && run_.written) {
      if (std::string* text = TextOf(*run_.written, key)) return Text(value, *text, key);
      return true;
    }
    if (section == "measured") {
      if (std::optional<int>* level = LevelOf(key)) return Int(value, *level, key);
      if (ChannelsOf(key) != nullptr || key == "MotorSpeed") return Fail(key + " is no list");
      return true;
    }
    if (section == "end") {
      if (key == "how") return Text(value, run_.how, key);
      if (key == "last_stage") return Int(value, run_.lastStage, key);
      if (key == "last_item") return Text(value, run_.lastItem, key);
      if (key == "result") return Int(value, run_.result, key);
      if (key == "head_written") return Bool(value, run_.headWritten, key);
      return true;
    }
    return true;
  }

  bool Deeper(const Scalar& value) {
    if (KeyAt(0) == "measured") {
      const std::string& key = KeyAt(1);
      if (key == "MotorSpeed") return Int(value, run_.motorSpeeds.emplace_back(), key);
      if (std::optional<ChannelValues>* values = ChannelsOf(key); values && *values) {
        NamedValue& channel = (*values)->emplace_back();
        channel.name = KeyAt(2);
        return Int(value, channel.value, key);
      }
      return true;
    }
    if (KeyAt(0) == "end" && KeyAt(1) == "log" && parts_ == RecordParts::kAll) {
      return Text(value, run_.log.emplace_back(), "log");
    }
    return true;
  }

  RecordedRun& run_;
  RecordParts parts_;
  std::vector<Level> path_;
  bool seenTool_ = false;
  bool seenMeasured_ = false;
  std::string problem_;
};

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
  RecordedRun run;
  RecordReader reader(run, parts);
  Json::sax_parse(text, &reader);
  problem = reader.Problem();
  if (!problem.empty()) return std::nullopt;
  return run;
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
