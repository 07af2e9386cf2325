#pragma once

// A record of a run as read back from its JSON file, for the pages that show it. Every text in it
// came from a file, and many from the head: whoever shows one escapes it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  std::string started;  // local time, ISO 8601 with its offset
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

  bool Completed() const { return how == "completed"; }
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

// The head's identification field, or "head not read".
std::string HeadLabel(const RecordedRun& run);

// "completed", "failed in 3. Black paper adjustment", "abandoned after 1. Motor speed check", ...
std::string ResultInWords(const RecordedRun& run);

// A text as a page may show it: characters that control a terminal (C0, DEL and C1) become
// "\xNN", and bytes that are not UTF-8 become U+FFFD, so that a file name or a head's bytes can
// neither hide in the page nor break its encoding. Escaping for HTML comes after.
std::string ShownText(std::string_view text);
