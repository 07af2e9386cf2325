#pragma once

// A record of a run as read back from its JSON file, for the pages that show it. Every text in it
// came from a file, and many from the head: whoever shows one escapes it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordKeys.h"

struct NamedValue {
  std::string name;
  int value = 0;
};
// Per-channel values in the record's order, keyed by sensor name.
using ChannelValues = std::vector<NamedValue>;

// The four texts of the head's identification block.
struct IdentificationTexts {
  std::string ModelCode;
  std::string AdjustDate;
  std::string HeadIdField;
  std::string ProgramVersion;
};

struct RecordedRun {
  std::string toolVersion;
  std::string portName;
  std::string device;  // empty when the name reached none
  std::optional<int> baudRate;
  std::string started;       // local time, ISO 8601 with its offset
  long long startedUtc = 0;  // the same as seconds since the epoch, to order runs; 0 when unknown
  std::string ended;

  // What the run read from the head first; none when the head could not be read.
  struct HeadData {
    bool storedData = true;
    IdentificationTexts texts;
    int CheckWord = 0;
  };
  std::optional<HeadData> headData;

  std::vector<int> motorSpeeds;
  std::optional<ChannelValues> whitePaperLevel;
  std::optional<ChannelValues> paperGain;
  std::optional<ChannelValues> daValue;
  std::optional<ChannelValues> blackLevel;
  std::optional<ChannelValues> noPaperGain;
  std::optional<ChannelValues> noPaperLevel;
  std::optional<int> frontLevelInPaper;
  std::optional<int> exitLevelInPaper;
  std::optional<int> frontLevelNoPaper;
  std::optional<int> exitLevelNoPaper;
  std::optional<int> checkWord;
  std::optional<IdentificationTexts> written;

  std::string how;  // "completed", "failed", "abandoned", "window closed"
  int lastStage = 0;
  std::string lastItem;
  int result = 0;
  bool headWritten = false;
  std::vector<std::string> log;

  bool Completed() const { return how == run_end::kCompleted; }
};

enum class RecordParts : std::uint8_t {
  kAll,
  kWithoutLog,  // for a listing, which never shows the log
};

// Reads a record's text (taken, as it is decoded in place). Nothing, with the reason in
// `problem`, when the text is not JSON or not the record of a run; values the run did not reach
// stay empty.
std::optional<RecordedRun> ReadRecordedRun(std::string text, std::string& problem,
                                           RecordParts parts = RecordParts::kAll);

// Seconds since the epoch of a record's time, "2024-05-01T10:11:12+02:00", to order runs across
// offsets; none when the text is no such time.
std::optional<long long> UtcSeconds(std::string_view iso);

// The head's identification field, or "head not read".
std::string HeadLabel(const RecordedRun& run);

// "completed", "failed in 3. Black paper adjustment", "abandoned after 1. Motor speed check", ...
std::string ResultInWords(const RecordedRun& run);

// A text as a page may show it: characters that control a terminal (C0, DEL and C1) become
// "\xNN", those that reorder the text around them (U+061C, U+200E, U+200F, U+202A to U+202E,
// U+2066 to U+2069) "\uNNNN", and bytes that are not UTF-8 become U+FFFD, so that a file name or
// a head's bytes can neither hide in the page, nor turn it around, nor break its encoding.
// Escaping for HTML comes after.
std::string ShownText(std::string_view text);
