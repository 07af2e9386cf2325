#include "records/RecordedRun.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
// Every x86-64 processor has SSE2: the parser passes over spaces and plain text 16 bytes at a
// time. Those reads may go past the text's end within its 16 bytes, which AddressSanitizer would
// report; a sanitized build reads byte by byte.
#if defined(__SSE2__) && !defined(__SANITIZE_ADDRESS__)
#define RAPIDJSON_SSE2
#endif
#include <rapidjson/reader.h>
#include <rapidjson/stream.h>
#include <utility>

#include "link/HeadCommands.h"
#include "records/RecordKeys.h"

namespace {

namespace key = record_key;

// Reads a record as the parser meets it, without building the whole document: a listing reads
// thousands of records, and most of a record (the register check's rows, the log) is not shown.
// Each value is placed by its path of keys; a value of the wrong kind makes the file no record.
// The keys are views into the text, which the parser decodes in place.
class RecordReader {
 public:
  RecordReader(RecordedRun& run, RecordParts parts) : run_(run), parts_(parts) {}

  // What the parser calls, one value or mark at a time.
  bool Null() { return Take(Scalar{Kind::kNull}); }
  bool Bool(bool value) { return Take(Scalar{Kind::kBool, value}); }
  bool Int(int value) { return Number(value); }
  bool Uint(unsigned value) { return Number(value); }
  bool Int64(std::int64_t value) { return Number(value); }
  bool Uint64(std::uint64_t value) {
    return Number(static_cast<std::int64_t>(std::min(value, static_cast<std::uint64_t>(kLargest))));
  }
  bool Double(double value) {
    return Number(static_cast<std::int64_t>(
        std::clamp(value, -static_cast<double>(kLargest), static_cast<double>(kLargest))));
  }
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return Fail("a number as text"); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return Take(Scalar{Kind::kText, false, 0, std::string_view(text, length)});
  }
  bool StartObject() { return Open(true); }
  bool StartArray() { return Open(false); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool EndArray(rapidjson::SizeType) { return Close(); }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    path_.back().key = std::string_view(name, length);
    return true;
  }

  // The reason when the text was no record; checked once the parse has ended.
  std::string Problem(bool parsed) const {
    if (!problem_.empty()) return problem_;
    if (!parsed) return "not JSON";
    for (const auto& [seen, name] : {std::pair{seenTool_, key::kTool},
                                     {!run_.started.empty(), key::kStarted},
                                     {seenMeasured_, key::kMeasured},
                                     {!run_.how.empty(), key::kEnd}}) {
      if (!seen) return "not the record of a run (no " + std::string(name) + ")";
    }
    return {};
  }

 private:
  enum class Kind : std::uint8_t { kNull, kBool, kNumber, kText };
  struct Scalar {
    Kind kind;
    bool flag = false;
    std::int64_t number = 0;
    std::string_view text{};
  };
  // An object or array now open. The lists a record keeps get where their values go when they
  // open, so that their values need no looking up.
  struct Level {
    std::string_view key{};                     // of the value now met, in an object
    ChannelValues* channels = nullptr;          // each value by its channel's name
    std::vector<int>* numbers = nullptr;        // the motor speeds
    std::vector<std::string>* texts = nullptr;  // the log
  };

  // A record nests four deep; a text nested far deeper is none, and is not followed down.
  static constexpr std::size_t kDeepest = 16;
  // Numbers beyond any value of a record are held at this size, so that they stay ints.
  static constexpr std::int64_t kLargest = 1'000'000'000;

  bool Number(std::int64_t value) {
    return Take(Scalar{Kind::kNumber, false, std::clamp(value, -kLargest, kLargest)});
  }

  bool Fail(std::string_view what) {
    if (problem_.empty()) problem_ = "not the record of a run (" + std::string(what) + ")";
    return false;
  }

  // The key of the value now met at depth `depth` (0: the document's own keys).
  std::string_view KeyAt(std::size_t depth) const { return path_[depth].key; }

  // An object or array opening: the record itself and its own sections must be objects, and a
  // list the record keeps gets its place; anything under an unknown key is passed over.
  bool Open(bool object) {
    const std::size_t depth = path_.size();
    Level level;
    if (depth == 0 && !object) return Fail("not an object");
    if (depth == kDeepest) return Fail("nested too deep");
    if (depth == 1) {
      const std::string_view key = KeyAt(0);
      const bool section = key == key::kPort || key == key::kHeadData || key == key::kMeasured ||
                           key == key::kWritten || key == key::kEnd;
      if (section && !object) return Fail(std::string(key) + " is not an object");
      if (key == key::kHeadData) run_.headData.emplace();
      if (key == key::kWritten) run_.written.emplace();
      if (key == key::kMeasured) seenMeasured_ = true;
    }
    if (depth == 2 && KeyAt(0) == key::kMeasured) {
      const std::string_view key = KeyAt(1);
      if (key == key::kMotorSpeed) {
        level.numbers = &run_.motorSpeeds;
      } else if (std::optional<ChannelValues>* values = ChannelsOf(key); values && object) {
        level.channels = &values->emplace();
        level.channels->reserve(head::kChannels24);
      }
    }
    if (depth == 2 && KeyAt(0) == key::kEnd && KeyAt(1) == key::kLog &&
        parts_ == RecordParts::kAll) {
      level.texts = &run_.log;
    }
    path_.push_back(level);
    return true;
  }

  bool Close() {
    path_.pop_back();
    return true;
  }

  std::optional<ChannelValues>* ChannelsOf(std::string_view key) {
    if (key == key::kWhitePaperLevel) return &run_.whitePaperLevel;
    if (key == key::kPaperGain) return &run_.paperGain;
    if (key == key::kDaValue) return &run_.daValue;
    if (key == key::kBlackLevel) return &run_.blackLevel;
    if (key == key::kNoPaperGain) return &run_.noPaperGain;
    if (key == key::kNoPaperLevel) return &run_.noPaperLevel;
    return nullptr;
  }

  std::optional<int>* LevelOf(std::string_view key) {
    if (key == key::kFrontLevelInPaper) return &run_.frontLevelInPaper;
    if (key == key::kExitLevelInPaper) return &run_.exitLevelInPaper;
    if (key == key::kFrontLevelNoPaper) return &run_.frontLevelNoPaper;
    if (key == key::kExitLevelNoPaper) return &run_.exitLevelNoPaper;
    if (key == key::kCheckWord) return &run_.checkWord;
    return nullptr;
  }

  static std::string* TextOf(IdentificationTexts& texts, std::string_view key) {
    if (key == key::kModelCode) return &texts.ModelCode;
    if (key == key::kAdjustDate) return &texts.AdjustDate;
    if (key == key::kHeadIdField) return &texts.HeadIdField;
    if (key == key::kProgramVersion) return &texts.ProgramVersion;
    return nullptr;
  }

  bool TextInto(const Scalar& value, std::string& into, std::string_view name) {
    if (value.kind != Kind::kText) return Fail(std::string(name) + " is not a text");
    into = value.text;
    return true;
  }

  bool IntInto(const Scalar& value, int& into, std::string_view name) {
    if (value.kind != Kind::kNumber) return Fail(std::string(name) + " is not a number");
    into = static_cast<int>(value.number);
    return true;
  }

  bool IntInto(const Scalar& value, std::optional<int>& into, std::string_view name) {
    if (value.kind == Kind::kNull) return true;
    return IntInto(value, into.emplace(), name);
  }

  bool BoolInto(const Scalar& value, bool& into, std::string_view name) {
    if (value.kind != Kind::kBool) return Fail(std::string(name) + " is not true or false");
    into = value.flag;
    return true;
  }

  bool Take(const Scalar& value) {
    const std::size_t depth = path_.size();
    if (depth == 0) return Fail("not an object");
    if (depth == 1) return Top(value);
    if (depth == 2) return Inner(value);
    // Inside a list: it is one the record keeps when it got a place on opening.
    const Level& level = path_.back();
    const std::string_view list = KeyAt(depth - 2);
    if (level.channels != nullptr) {
      NamedValue& channel = level.channels->emplace_back();
      channel.name = level.key;
      return IntInto(value, channel.value, list);
    }
    if (level.numbers != nullptr) return IntInto(value, level.numbers->emplace_back(), list);
    if (level.texts != nullptr) return TextInto(value, level.texts->emplace_back(), list);
    return true;
  }

  bool Top(const Scalar& value) {
    const std::string_view key = KeyAt(0);
    if (key == key::kTool) {
      std::string tool;
      if (!TextInto(value, tool, key)) return false;
      seenTool_ = true;
      return tool == kRecordTool || Fail("not a record of this tool");
    }
    if (key == key::kToolVersion) return TextInto(value, run_.toolVersion, key);
    if (key == key::kStarted) return TextInto(value, run_.started, key);
    if (key == key::kEnded) return TextInto(value, run_.ended, key);
    if (key == key::kHeadData) {
      return value.kind == Kind::kNull || Fail(std::string(key) + " is not an object");
    }
    if (key == key::kPort || key == key::kMeasured || key == key::kEnd) {
      return Fail(std::string(key) + " is not an object");
    }
    return true;
  }

  bool Inner(const Scalar& value) {
    const std::string_view section = KeyAt(0);
    const std::string_view key = KeyAt(1);
    if (section == key::kPort) {
      if (key == key::kPortName) return TextInto(value, run_.portName, key);
      if (key == key::kDevice) {
        return value.kind == Kind::kNull || TextInto(value, run_.device, key);
      }
      if (key == key::kBaudRate) return IntInto(value, run_.baudRate, key);
      return true;
    }
    if (section == key::kHeadData && run_.headData) {
      if (key == key::kStoredData) return BoolInto(value, run_.headData->storedData, key);
      if (key == key::kCheckWord) return IntInto(value, run_.headData->CheckWord, key);
      if (std::string* text = TextOf(run_.headData->texts, key)) return TextInto(value, *text, key);
      return true;
    }
    if (section == key::kWritten && run_.written) {
      if (std::string* text = TextOf(*run_.written, key)) return TextInto(value, *text, key);
      return true;
    }
    if (section == key::kMeasured) {
      if (std::optional<int>* level = LevelOf(key)) return IntInto(value, *level, key);
      if (ChannelsOf(key) != nullptr || key == key::kMotorSpeed) {
        return Fail(std::string(key) + " is no list");
      }
      return true;
    }
    if (section == key::kEnd) {
      if (key == key::kHow) return TextInto(value, run_.how, key);
      if (key == key::kLastStage) return IntInto(value, run_.lastStage, key);
      if (key == key::kLastItem) return TextInto(value, run_.lastItem, key);
      if (key == key::kResult) return IntInto(value, run_.result, key);
      if (key == key::kHeadWritten) return BoolInto(value, run_.headWritten, key);
      return true;
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

// How many bytes the UTF-8 sequence at text[at] takes, or 0 when it is not one; its character
// in `code`.
std::size_t SequenceLength(std::string_view text, std::size_t at, unsigned& code) {
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
  code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

// The characters that reorder the text around them (embeddings, overrides, isolates and marks):
// one of them can show a head's text or a check word reversed.
bool IsBidiControl(unsigned code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

std::string Hex(unsigned code) {
  char text[16];
  std::snprintf(text, sizeof text, code < 0x100 ? "\\x%02X" : "\\u%04X", code);
  return text;
}

}  // namespace

std::optional<RecordedRun> ReadRecordedRun(std::string text, std::string& problem,
                                           RecordParts parts) {
  RecordedRun run;
  RecordReader handler(run, parts);
  // Decoded in place, up to the text's terminating NUL; a NUL before the end ends the text early,
  // and is no JSON. Iterative: no nesting, however deep, can use up the stack. Texts that are not
  // UTF-8 are taken as they are: whoever shows one shows it with ShownText.
  rapidjson::InsituStringStream stream(text.data());
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;
  const bool parsed =
      !rapidjson::Reader().Parse<kFlags>(stream, handler).IsError() && stream.Tell() == text.size();
  problem = handler.Problem(parsed);
  if (!problem.empty()) return std::nullopt;
  run.startedUtc = UtcSeconds(run.started).value_or(0);
  return run;
}

std::optional<long long> UtcSeconds(std::string_view iso) {
  int y, mo, d, h, mi, s, oh, om;
  char sign;
  const std::string text(iso);
  if (iso.size() != 25 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &y, &mo, &d,
                                      &h, &mi, &s, &sign, &oh, &om) != 9) {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                            day(static_cast<unsigned>(d))};
  if (!date.ok()) return std::nullopt;
  const long long offset = (oh * 60LL + om) * 60 * (sign == '-' ? -1 : 1);
  return sys_days(date).time_since_epoch().count() * 86400LL + h * 3600LL + mi * 60LL + s - offset;
}

std::string HeadLabel(const RecordedRun& run) {
  return run.headData ? run.headData->texts.HeadIdField : "head not read";
}

std::string ResultInWords(const RecordedRun& run) {
  if (run.how == run_end::kCompleted || run.lastItem.empty()) return run.how;
  return run.how + (run.how == run_end::kFailed ? " in " : " after ") + run.lastItem;
}

std::string ShownText(std::string_view text) {
  // Most texts are printable ASCII, and shown as they are.
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
    return std::string(text);
  }
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
    unsigned code = 0;
    const std::size_t length = SequenceLength(text, at, code);
    if (length == 0) {
      shown += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    // U+0080 to U+009F, the C1 controls, are a head's bytes 128 to 159 as the record keeps them.
    if (code < 0xA0 || IsBidiControl(code)) {
      shown += Hex(code);
    } else {
      shown.append(text.substr(at, length));
    }
    at += length;
  }
  return shown;
}
