#pragma once

// What an earlier run could not write (its disk was full, say) is made again at the end of a later
// run from its record, the source of truth: the line the history lacks and the report page.
// Nothing is invented: only records in the folder are completed, a line the history holds is not
// written again, and a page that exists is not rewritten.
//
// The cost when nothing is missing, beyond listing the folder and reading its records, which the
// index does anyway: the listing shows which pages exist; the history is locked and its last
// 4 KiB read, and each record's start compared with that of the history's last line. The whole
// history is read only when a record other than the run's own started later (or in the same
// second under another name), or that line cannot be judged: only then may a line be missing, as
// lines go in when runs end.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/RunFiles.h"
#include "records/RunsIndex.h"

// The history's last bytes read to judge whether a line may be missing.
inline constexpr std::size_t kHistoryTailBytes = 4096;
// Report pages made at most at one time (some 10 ms each), so that a folder of an older version
// with thousands of records and no pages does not hold up the end of a run for long.
inline constexpr std::size_t kReportsMadeAtOnce = 100;

// Appends the run's own line (ownFile names its record, empty when it has none) to the history,
// after the lines the other records of the folder lack, oldest first; all in one append. False
// with the reason in `problem`.
bool AppendRunToHistory(const std::filesystem::path& file,
                        const std::vector<IndexedRecord>& records, std::string_view ownFile,
                        std::string_view ownLine, std::string& problem,
                        RecordDisk& disk = LocalDisk());

// Writes the report pages of the oldest records that have none, kReportsMadeAtOnce at most, and
// marks them in `records`. A record that cannot be read whole is passed over: the index lists it
// without a report. The first page that cannot be written ends it: false, with the reason in
// `problem`.
bool WriteMissingReports(const std::filesystem::path& folder, std::vector<IndexedRecord>& records,
                         std::string& problem, RecordDisk& disk = LocalDisk());
