#pragma once

// The index of a runs folder: every run, newest first, linked to its report, and one section per
// head with its runs and what changed at its last completed run. Made from the JSON records
// alone; a record that cannot be read is listed with its file name and the rest still shows.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordedRun.h"
#include "records/RunFiles.h"

inline constexpr std::string_view kIndexFileName = "index.html";

// One record file of the folder as the index sees it.
struct IndexedRecord {
  std::string file;                // its name in the folder
  std::optional<RecordedRun> run;  // none when it could not be read
  std::string problem;             // why not
  bool hasReport = false;          // its report page is beside it
};

// A record's text, read whole; none, with the reason in `problem`, when it cannot be read or is
// far larger than a record can be.
std::optional<std::string> ReadRecordFile(const std::filesystem::path& file, std::string& problem);

// The records of the folder (the files named *.json), read without their logs. None, with the
// reason in `problem`, when the folder cannot be listed; a missing folder holds none.
std::optional<std::vector<IndexedRecord>> ReadRecordsOf(const std::filesystem::path& folder,
                                                        std::string& problem);

// The page. `written` is the moment it is made, as the records write their times.
std::string IndexPage(const std::filesystem::path& folder,
                      const std::vector<IndexedRecord>& records, std::string_view written);

// Rewrites index.html in the folder from its records, whole or not at all. False, with the reason
// in `problem`, when it could not.
bool WriteIndexFile(const std::filesystem::path& folder, const std::vector<IndexedRecord>& records,
                    std::string& problem, RecordDisk& disk = LocalDisk());

// Lists the folder, writes the reports of records that have none (WriteMissingReports), then the
// index. False, with the reason in `problem`, when the folder cannot be listed or the index not
// written.
bool WriteRunsIndex(const std::filesystem::path& folder, std::string& problem);
