#pragma once

// What a run leaves for the technician to keep: one record per run as JSON, and one line of the
// history that a spreadsheet opens. Built here from what the recorder gathered; no files here.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/AdjustmentRecord.h"
#include "adjust/Progress.h"
#include "records/RecordedRun.h"
#include "run/PortFacts.h"
#include "run/RunController.h"

// A moment of the local clock: "2024-05-01T10:11:12+02:00" and "20240501-101112" for file names.
struct LocalStamp {
  std::string iso;
  std::string compact;
};

// What stage 0 read from the head, before the later stages overwrite the record.
struct HeadDataFacts {
  bool storedData = true;  // false: the head answered "NG"
  AdjustmentRecord::Text8 ModelCode{};
  AdjustmentRecord::Text8 AdjustDate{};
  AdjustmentRecord::Text8 HeadIdField{};
  AdjustmentRecord::Text8 ProgramVersion{};
  std::uint16_t CheckWord = 0;
};

// How far a step got in this run, by its progress reports: the highest count and whether it gave
// its judgement.
struct StepSeen {
  std::uint32_t count = 0;
  bool verdict = false;
};

struct RunFacts {
  PortFacts port;
  LocalStamp started;
  LocalStamp ended;
  std::optional<HeadDataFacts> headData;   // empty when stage 0 did not read the head
  std::vector<std::uint32_t> motorSpeeds;  // each reading divided by 10, in order
  // The levels of channels 0..22 on the white paper in the D/A adjustment's last reading.
  std::vector<std::uint8_t> whitePaperLevels;
  std::map<ProgressStep, StepSeen> steps;  // the steps that reported in this run
  AdjustmentRecord record;                 // as the run left it
  RunEnding ending;
  std::vector<std::string> log;  // the operator log's lines when the run ended

  bool Saw(ProgressStep step) const { return steps.contains(step); }
  // The identification block was answered "OK": only then does the finishing frame follow.
  bool HeadWritten() const { return Saw(ProgressStep::kSendFinishFrame); }
};

// The record as JSON text. Only the values this run took or set appear; the README lists them.
std::string RecordText(const RunFacts& facts);

// "20240501-101112_DR0471A3": the start time, then the identification field read at stage 0 with
// every byte but letters, digits and '-' made '_', and the zero bytes that pad it left out
// ("unread" when stage 0 read nothing, "blank" when the field holds nothing else).
std::string RecordFileStem(const RunFacts& facts);

// The history's first line and one line per run, each ending in CR LF. A run's line is made from
// its record as read back, so that a line an earlier run could not write is made the same way.
std::string_view HistoryHeader();
std::string HistoryLine(const RecordedRun& run, std::string_view recordFile);

// One cell of the history, from a text of a record: printable ASCII only (control characters
// shown by number as on the pages, "\x00", and other characters as '?'), a leading '=', '+', '-'
// or '@' behind an apostrophe so no spreadsheet takes it for a formula, and quoted as RFC 4180
// asks when it holds a comma, a semicolon or a quote.
std::string CsvCell(std::string_view text);

// "completed", "failed", "abandoned", "window closed".
std::string_view RunEndName(RunEnd how);
// "1. Motor speed check" .. "4. Non paper adjustment", and "Writing to the head" for stage 4.
std::string_view StageName(std::uint8_t stage);
