#pragma once

// The folder and the files the records of runs go to. A failure is a result with its reason,
// never an exception: a record that cannot be written must not disturb the run.

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "run/RunRecord.h"

// $QZR71_RUNS_DIR when set, else $XDG_DATA_HOME/qzr71/runs, else ~/.local/share/qzr71/runs.
std::filesystem::path RunsFolder();

// The history file in a runs folder.
inline constexpr std::string_view kHistoryFileName = "runs.csv";

// The local time of a moment, with its offset from UTC.
LocalStamp StampOf(std::chrono::system_clock::time_point moment);
// The calendar time of a moment in the local time zone; defined with the platform's file calls.
bool LocalCalendar(std::time_t moment, std::tm& calendar);

// Makes the folder when missing, then writes the text as a new file named stem + ".json", or
// stem-2.json and so on when that name is taken (an earlier record is never replaced). Written
// beside, synced and renamed into place, so the file is whole or absent. The name used, or
// nothing with the reason in `problem`.
std::optional<std::string> WriteNewRecordFile(const std::filesystem::path& folder,
                                              const std::string& stem, std::string_view text,
                                              std::string& problem);

// Writes the report page of the record file named recordFile (in the folder) beside it, from the
// record's text: whole or not at all. False with the reason in `problem`.
bool WriteReportFile(const std::filesystem::path& folder, std::string_view recordFile,
                     const std::string& recordText, std::string& problem);

// Adds one line at the end of the history file, with the header first when the file is new or
// empty. The line goes in with one write and is synced; a write that fails part way is taken
// back, so the file never holds half a line. False with the reason in `problem`.
bool AppendHistoryLine(const std::filesystem::path& file, std::string_view header,
                       std::string_view line, std::string& problem);
