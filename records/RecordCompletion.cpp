#include "records/RecordCompletion.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "records/PageParts.h"
#include "records/RunRecord.h"

namespace {

// Oldest first, as the index orders runs, so that completed lines go in by date.
bool Older(const IndexedRecord* a, const IndexedRecord* b) {
  if (a->run->startedUtc != b->run->startedUtc) return a->run->startedUtc < b->run->startedUtc;
  if (a->run->started != b->run->started) return a->run->started < b->run->started;
  return a->file < b->file;
}

// The cells of a line of the history as they are written, quotes and all.
std::vector<std::string_view> CellsOf(std::string_view line) {
  std::vector<std::string_view> cells;
  bool quoted = false;
  std::size_t from = 0;
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (line[at] == '"') quoted = !quoted;
    if (line[at] == ',' && !quoted) {
      cells.push_back(line.substr(from, at - from));
      from = at + 1;
    }
  }
  cells.push_back(line.substr(from));
  return cells;
}

// Each line's last cell: the record file it was written for.
std::unordered_set<std::string_view> RecordCells(std::string_view text) {
  std::unordered_set<std::string_view> cells;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    cells.insert(CellsOf(line).back());
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return cells;
}

// Whether one of `others` may lack its line, judged by the history's last line in `tail` (its
// last bytes, the whole file when `whole`): lines go in as runs end, so only a run that started
// after that line's run can lack one.
bool MayLackLines(std::string_view tail, bool whole,
                  const std::vector<const IndexedRecord*>& others) {
  if (others.empty()) return false;
  while (tail.ends_with('\n') || tail.ends_with('\r')) tail.remove_suffix(1);
  const std::size_t lineEnd = tail.rfind('\n');
  if (lineEnd == std::string_view::npos && !whole) return true;  // longer than the tail
  const std::vector<std::string_view> cells =
      CellsOf(lineEnd == std::string_view::npos ? tail : tail.substr(lineEnd + 1));
  const std::optional<long long> last = UtcSeconds(cells.front());
  if (!last || cells.size() < 2) return true;
  for (const IndexedRecord* record : others) {
    const long long started = record->run->startedUtc;
    if (started > *last) return true;
    if (started == *last && CsvCell(record->file) != cells.back()) return true;
  }
  return false;
}

// The records, other than the run's own, whose lines the history lacks, oldest first.
std::vector<const IndexedRecord*> MissingLines(const HistoryText& history,
                                               const std::vector<IndexedRecord>& records,
                                               std::string_view ownFile) {
  std::vector<const IndexedRecord*> missing;
  for (const IndexedRecord& record : records) {
    if (record.run && record.file != ownFile) missing.push_back(&record);
  }
  if (history.size > 0) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(history.size, kHistoryTailBytes));
    const bool whole = count == history.size;
    // A history that cannot be read gets no line: it may hold it already.
    const std::optional<std::string> tail = history.read(history.size - count, count);
    if (!tail || !MayLackLines(*tail, whole, missing)) return {};
    const std::optional<std::string> text =
        whole ? tail : history.read(0, static_cast<std::size_t>(history.size));
    if (!text) return {};
    const std::unordered_set<std::string_view> written = RecordCells(*text);
    std::erase_if(missing, [&written](const IndexedRecord* record) {
      return written.contains(CsvCell(record->file));
    });
  }
  std::sort(missing.begin(), missing.end(), Older);
  return missing;
}

}  // namespace

bool AppendRunToHistory(const std::filesystem::path& file,
                        const std::vector<IndexedRecord>& records, std::string_view ownFile,
                        std::string_view ownLine, std::string& problem, RecordDisk& disk) {
  return AppendHistoryLines(
      file, HistoryHeader(),
      [&](const HistoryText& history) {
        std::string lines;
        for (const IndexedRecord* record : MissingLines(history, records, ownFile)) {
          lines += HistoryLine(*record->run, record->file);
        }
        return lines + std::string(ownLine);
      },
      problem, disk);
}

bool WriteMissingReports(const std::filesystem::path& folder, std::vector<IndexedRecord>& records,
                         std::string& problem, RecordDisk& disk) {
  std::vector<IndexedRecord*> missing;
  for (IndexedRecord& record : records) {
    if (record.run && !record.hasReport) missing.push_back(&record);
  }
  std::sort(missing.begin(), missing.end(), Older);
  missing.resize(std::min(missing.size(), kReportsMadeAtOnce));
  for (IndexedRecord* record : missing) {
    // The listing read each record without its log; the page shows it.
    std::string unread;
    std::optional<std::string> text = ReadRecordFile(folder / page::PathOf(record->file), unread);
    const std::optional<RecordedRun> run =
        text ? ReadRecordedRun(std::move(*text), unread) : std::nullopt;
    if (!run) continue;
    if (!WriteReportFile(folder, record->file, *run, problem, disk)) return false;
    record->hasReport = true;
  }
  return true;
}
