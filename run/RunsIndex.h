#pragma once

// The index of a runs folder: every run, newest first, linked to its report, and one section per
// head with its runs and what changed at its last completed run. Made from the JSON records
// alone; a record that cannot be read is listed with its file name and the rest still shows.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/RecordedRun.h"

inline constexpr std::string_view kIndexFileName = "index.html";

// One record file of the folder as the index sees it.
struct IndexedRecord {
  std::string file;                        // its name in the folder
  std::shared_ptr<const RecordedRun> run;  // none when it could not be read
  std::string problem;                     // why not
  bool hasReport = false;                  // its report page is beside it
  std::uintmax_t size = 0;                 // the file as it was read
  std::filesystem::file_time_type modified{};
};

// What one process keeps from writing an index to the next: the records read, by file name with
// their size and time (a record is written once and not changed, but a changed file is read
// again), and each head's section as last rendered. After a run only the new record is read.
class RunsIndexCache {
 public:
  const IndexedRecord* Record(const std::string& file, std::uintmax_t size,
                              std::filesystem::file_time_type modified) const;
  std::size_t Size() const;
  // Keeps the records; those no head's change compares without their values.
  void Keep(const std::vector<IndexedRecord>& records);
  // The head's section when it was rendered from the same runs; else nothing.
  const std::string* Section(const std::string& head, const std::string& runs) const;
  void KeepSection(const std::string& head, const std::string& runs, std::string section);

 private:
  std::map<std::string, IndexedRecord> records_;
  std::map<std::string, std::pair<std::string, std::string>> sections_;
};

// The records of the folder (the files named *.json), read without their logs, those the cache
// holds unchanged taken from it. None, with the reason in `problem`, when the folder cannot be
// listed; a missing folder holds none.
std::optional<std::vector<IndexedRecord>> ReadRecordsOf(const std::filesystem::path& folder,
                                                        std::string& problem,
                                                        const RunsIndexCache* cache = nullptr);

// The page. `written` is the moment it is made, as the records write their times.
std::string IndexPage(const std::filesystem::path& folder,
                      const std::vector<IndexedRecord>& records, std::string_view written,
                      RunsIndexCache* cache = nullptr);

// Rewrites index.html in the folder, whole or not at all, after writing the reports of up to a
// hundred records that have none yet (records of a version that wrote no reports). False, with
// the reason in `problem`, when the folder cannot be listed or the index not written.
bool WriteRunsIndex(const std::filesystem::path& folder, std::string& problem,
                    RunsIndexCache* cache = nullptr);

// What the menu opens: the folder's index, brought up to date first (the folder is made when
// missing, so that the index shows an empty folder before the first run). The index file, or
// nothing with the reason in `problem` when it could not be written and no earlier one exists.
std::optional<std::filesystem::path> RunsIndexToShow(const std::filesystem::path& folder,
                                                     std::string& problem);
