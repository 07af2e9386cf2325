#pragma once

// The folder and the files the records of runs go to. A failure is a result with its reason,
// never an exception: a record that cannot be written must not disturb the run.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "records/RecordedRun.h"
#include "records/RunRecord.h"

// $QZR71_RUNS_DIR when set, else $XDG_DATA_HOME/qzr71/runs, else ~/.local/share/qzr71/runs.
std::filesystem::path RunsFolder();

// The history file in a runs folder.
inline constexpr std::string_view kHistoryFileName = "runs.csv";

// The local time of a moment, with its offset from UTC.
LocalStamp StampOf(std::chrono::system_clock::time_point moment);
// The calendar time of a moment in the local time zone; defined with the platform's file calls.
bool LocalCalendar(std::time_t moment, std::tm& calendar);

// A file that could not be written, and the system's reason: "/runs/runs.csv: No space left on
// device".
std::string FileProblem(const std::filesystem::path& file, std::error_code error);

// The history file as it stands while it is locked: its size, and its bytes from an offset (none
// when they cannot be read).
struct HistoryText {
  std::uint64_t size = 0;
  std::function<std::optional<std::string>(std::uint64_t from, std::size_t count)> read;
};
// Makes what goes on at the end of the history from what it holds; nothing adds nothing.
using HistoryComposer = std::function<std::string(const HistoryText&)>;

// How the records' files reach the disk. The tool writes through LocalDisk(); a test that may not
// mount a full or a read-only file system puts one in its place that fails as they do.
class RecordDisk {
 public:
  virtual ~RecordDisk() = default;
  // Replaces the file whole (WriteFileAtomically), or leaves it as it was and says why.
  virtual std::error_code WriteWhole(const std::filesystem::path& file, std::string_view bytes) = 0;
  // Opens the history file (made when missing) under a lock, so that two tools ending runs at
  // the same moment neither both write the header nor mix lines, and appends what `compose` makes
  // of it with one write, synced; a write that fails part way is taken back, so the file never
  // holds half a line.
  virtual std::error_code AppendToHistory(const std::filesystem::path& file,
                                          const HistoryComposer& compose) = 0;
};
RecordDisk& LocalDisk();

// The reason of an append to the history that failed and could not be taken back whole: the
// system's error (errno, or Windows' error code), and that part of a line may remain.
const std::error_category& PartLeftCategory();

// The platform's half of LocalDisk's AppendToHistory, beside this file for each platform.
std::error_code AppendToHistoryFile(const std::filesystem::path& file,
                                    const HistoryComposer& compose);

// Makes the folder when missing, then writes the text as a new file named stem + ".json", or
// stem-2.json and so on when that name is taken (an earlier record is never replaced). Written
// beside, synced and renamed into place, so the file is whole or absent. The name used, or
// nothing with the reason in `problem`.
std::optional<std::string> WriteNewRecordFile(const std::filesystem::path& folder,
                                              const std::string& stem, std::string_view text,
                                              std::string& problem, RecordDisk& disk = LocalDisk());

// Writes the report page of the record file named recordFile (in the folder) beside it, from the
// record's text or the record read from it: whole or not at all. False with the reason in
// `problem`.
bool WriteReportFile(const std::filesystem::path& folder, std::string_view recordFile,
                     const std::string& recordText, std::string& problem,
                     RecordDisk& disk = LocalDisk());
bool WriteReportFile(const std::filesystem::path& folder, std::string_view recordFile,
                     const RecordedRun& run, std::string& problem, RecordDisk& disk = LocalDisk());

// What goes before new lines of the history: the header when the file is new or empty, a line
// end when a file saved by hand lacks its last one, else nothing.
std::string HistoryStart(const HistoryText& history, std::string_view header);

// Adds at the end of the history file, after HistoryStart, the lines `lines` makes of what it
// holds. False with the reason in `problem`.
bool AppendHistoryLines(const std::filesystem::path& file, std::string_view header,
                        const HistoryComposer& lines, std::string& problem,
                        RecordDisk& disk = LocalDisk());
