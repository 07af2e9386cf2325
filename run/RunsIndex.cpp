#include "run/RunsIndex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "link/SettingsFile.h"
#include "run/PageParts.h"
#include "run/PageTemplates.h"
#include "run/RunFiles.h"
#include "run/RunReport.h"

namespace {

namespace fs = std::filesystem;
using page::Data;

// A record is a few kilobytes; a file far larger is no record and is not read whole.
constexpr std::uintmax_t kLargestRecord = 1 << 20;
// Reports made for records that have none, at most, each time the index is written (about 10 ms
// each).
constexpr std::size_t kReportsMadePerIndex = 100;

std::optional<std::string> ReadWhole(const fs::path& file, std::string& problem) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (error) {
    problem = error.message();
    return std::nullopt;
  }
  if (size > kLargestRecord) {
    problem = "larger than a record can be (" + std::to_string(size) + " bytes)";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(text.data(), static_cast<std::streamsize>(size))) {
    problem = "cannot be read";
    return std::nullopt;
  }
  return text;
}

// Seconds since the epoch of "2024-05-01T10:11:12+02:00", to order runs across offsets.
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

struct Run {
  const IndexedRecord* record;
  long long when;
  const RecordedRun& Of() const { return *record->run; }
};

bool Newer(const Run& a, const Run& b) {
  if (a.when != b.when) return a.when > b.when;
  if (a.Of().started != b.Of().started) return a.Of().started > b.Of().started;
  return a.record->file > b.record->file;
}

std::string Hex(std::string_view text) {
  std::string hex;
  for (const char c : text) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

Data RunRow(const Run& run, const std::string& anchor) {
  const RecordedRun& r = run.Of();
  Data row;
  row.set("date", page::ShownDate(r.started));
  row.set("head", ShownText(HeadLabel(r)));
  row.set("headAnchor", anchor);
  row.set("how", ShownText(r.how));
  row.set("resultClass", page::ResultClass(r));
  row.set("lastItem", ShownText(r.lastItem));
  row.set("checkWord", r.checkWord ? std::to_string(*r.checkWord) : std::string());
  row.set("file", ShownText(run.record->file));
  row.set("href", run.record->hasReport ? Data(page::LinkTo(ReportFileName(run.record->file)))
                                        : Data(false));
  return row;
}

// One kind of value a head's change compares: gains, D/A values, or levels.
struct Quantity {
  const char* title;
  std::optional<ChannelValues> RecordedRun::*values;
};

constexpr Quantity kQuantities[] = {
    {"Gain, white paper", &RecordedRun::paperGain},
    {"D/A value", &RecordedRun::daValue},
    {"Level, white paper", &RecordedRun::whitePaperLevel},
    {"Level, black paper", &RecordedRun::blackLevel},
    {"Gain, no paper", &RecordedRun::noPaperGain},
    {"Level, no paper", &RecordedRun::noPaperLevel},
};

std::optional<int> ValueOf(const ChannelValues& values, const std::string& name) {
  for (const NamedValue& channel : values) {
    if (channel.name == name) return channel.value;
  }
  return std::nullopt;
}

// A small bar chart of one quantity's change, a bar per channel (up or down from the axis, the
// largest change the full height), and the channels that changed with their numbers. Nothing
// when either run lacks the quantity.
std::optional<Data> ChangeChart(const Quantity& quantity, const RecordedRun& last,
                                const RecordedRun& before) {
  const std::optional<ChannelValues>& now = last.*quantity.values;
  const std::optional<ChannelValues>& then = before.*quantity.values;
  if (!now || !then) return std::nullopt;
  std::vector<std::optional<int>> deltas;
  int largest = 1;
  for (const NamedValue& channel : *now) {
    const std::optional<int> old = ValueOf(*then, channel.name);
    deltas.push_back(old ? std::optional<int>(channel.value - *old) : std::nullopt);
    if (old) largest = std::max(largest, std::abs(channel.value - *old));
  }
  constexpr int kPitch = 4;  // a bar 3 wide and a gap
  std::string up;
  std::string down;
  std::string numbers;
  for (std::size_t i = 0; i < deltas.size(); ++i) {
    const NamedValue& channel = (*now)[i];
    if (deltas[i] == 0) continue;
    if (!numbers.empty()) numbers += ", ";
    numbers += channel.name + " " + std::to_string(channel.value);
    if (!deltas[i]) {
      numbers += " (not before)";
      continue;
    }
    const int delta = *deltas[i];
    numbers += std::string(" (") + (delta > 0 ? "+" : "") + std::to_string(delta) + ")";
    // Whole units: the chart is drawn a few pixels high.
    const int height = std::max(1, (10 * std::abs(delta) + largest / 2) / largest);
    const std::string x = std::to_string(static_cast<int>(i) * kPitch);
    (delta > 0 ? up : down) +=
        "M" + x + " 0v" + std::to_string(delta > 0 ? -height : height) + "h3V0z";
  }
  Data chart;
  chart.set("title", quantity.title);
  chart.set("width", std::to_string(static_cast<int>(deltas.size()) * kPitch));
  chart.set("up", up);
  chart.set("down", down);
  chart.set("numbers", numbers.empty() ? "none" : ShownText(numbers));
  return chart;
}

// The head's section: its runs over time, then the change at its last completed run since the
// completed run before it.
Data HeadSection(const std::string& label, const std::string& anchor,
                 const std::vector<Run>& runs) {
  Data section;
  section.set("head", ShownText(label));
  section.set("anchor", anchor);
  Data rows = page::MakeList();
  std::vector<const Run*> completed;
  for (const Run& run : runs) {
    rows.push_back(RunRow(run, anchor));
    if (run.Of().Completed()) completed.push_back(&run);
  }
  section.set("runs", rows);
  if (completed.size() < 2) {
    section.set("change", false);
    section.set("changeNote", completed.empty()
                                  ? "No completed run yet."
                                  : "One completed run: nothing before it to compare with.");
    return section;
  }
  const RecordedRun& last = completed.back()->Of();
  const RecordedRun& before = completed[completed.size() - 2]->Of();
  Data change;
  change.set("lastDate", page::ShownDate(last.started));
  change.set("beforeDate", page::ShownDate(before.started));
  Data charts = page::MakeList();
  for (const Quantity& quantity : kQuantities) {
    if (auto chart = ChangeChart(quantity, last, before)) charts.push_back(*chart);
  }
  change.set("charts", charts);
  section.set("change", change);
  return section;
}

// The records a head's change compares: the last two completed runs of each head.
std::set<std::string> ComparedFiles(const std::vector<IndexedRecord>& records) {
  std::vector<Run> runs;
  for (const IndexedRecord& record : records) {
    if (record.run && record.run->Completed()) {
      runs.push_back({&record, UtcSeconds(record.run->started).value_or(0)});
    }
  }
  std::sort(runs.begin(), runs.end(), Newer);
  std::map<std::string, int> taken;
  std::set<std::string> files;
  for (const Run& run : runs) {
    if (++taken[HeadLabel(run.Of())] <= 2) files.insert(run.record->file);
  }
  return files;
}

bool WriteMissingReport(const fs::path& folder, IndexedRecord& record) {
  std::string problem;
  const auto text = ReadWhole(folder / page::PathOf(record.file), problem);
  if (!text) return false;
  return WriteReportFile(folder, record.file, *text, problem);
}

}  // namespace

const IndexedRecord* RunsIndexCache::Record(const std::string& file, std::uintmax_t size,
                                            fs::file_time_type modified) const {
  const auto found = records_.find(file);
  if (found == records_.end() || found->second.size != size || found->second.modified != modified) {
    return nullptr;
  }
  return &found->second;
}

void RunsIndexCache::Keep(const std::vector<IndexedRecord>& records) {
  const std::set<std::string> compared = ComparedFiles(records);
  records_.clear();
  for (const IndexedRecord& record : records) {
    IndexedRecord& kept = records_.emplace(record.file, record).first->second;
    // Only the runs a head's change compares need their values again.
    static constexpr std::optional<ChannelValues> RecordedRun::*kValues[] = {
        &RecordedRun::whitePaperLevel, &RecordedRun::paperGain,   &RecordedRun::daValue,
        &RecordedRun::blackLevel,      &RecordedRun::noPaperGain, &RecordedRun::noPaperLevel};
    if (!kept.run || compared.contains(kept.file) ||
        std::none_of(std::begin(kValues), std::end(kValues),
                     [&](auto values) { return ((*kept.run).*values).has_value(); })) {
      continue;
    }
    auto thin = std::make_shared<RecordedRun>(*kept.run);
    for (auto values : kValues) ((*thin).*values).reset();
    kept.run = std::move(thin);
  }
}

std::size_t RunsIndexCache::Size() const {
  return records_.size();
}

const std::string* RunsIndexCache::Section(const std::string& head, const std::string& runs) const {
  const auto found = sections_.find(head);
  return found != sections_.end() && found->second.first == runs ? &found->second.second : nullptr;
}

void RunsIndexCache::KeepSection(const std::string& head, const std::string& runs,
                                 std::string section) {
  sections_[head] = {runs, std::move(section)};
}

std::optional<std::vector<IndexedRecord>> ReadRecordsOf(const fs::path& folder,
                                                        std::string& problem,
                                                        const RunsIndexCache* cache) {
  std::vector<IndexedRecord> records;
  std::error_code error;
  if (!fs::exists(folder, error) && !error) return records;
  std::unordered_set<std::string> names;
  std::size_t keptCount = 0;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = page::PathText(entry->path().filename());
    std::error_code fileError;
    if (entry->path().extension() == ".json" && entry->is_regular_file(fileError)) {
      IndexedRecord record;
      record.file = name;
      record.size = entry->file_size(fileError);
      record.modified = entry->last_write_time(fileError);
      const IndexedRecord* kept =
          cache != nullptr ? cache->Record(name, record.size, record.modified) : nullptr;
      keptCount += kept != nullptr ? 1 : 0;
      records.push_back(kept != nullptr ? *kept : std::move(record));
    }
    names.insert(std::move(name));
  }
  if (error) {
    problem = page::PathText(folder) + ": " + error.message();
    return std::nullopt;
  }
  // The cache holds some runs without their values; it serves only while every record it holds
  // is still there unchanged, so that no run it thinned can have become one a head compares.
  if (cache != nullptr && keptCount != cache->Size()) {
    for (IndexedRecord& record : records) {
      if (record.run || !record.problem.empty())
        record = {record.file, nullptr, {}, false, record.size, record.modified};
    }
  }
  // Reading is most of an index's time: the records not kept are shared out among a few
  // threads, each filling its own entries.
  std::vector<IndexedRecord*> unread;
  for (IndexedRecord& record : records) {
    record.hasReport = names.contains(ReportFileName(record.file));
    if (!record.run && record.problem.empty()) unread.push_back(&record);
  }
  std::atomic<std::size_t> next{0};
  const auto read = [&] {
    for (std::size_t i; (i = next++) < unread.size();) {
      IndexedRecord& record = *unread[i];
      try {
        if (const auto text = ReadWhole(folder / page::PathOf(record.file), record.problem)) {
          if (auto run = ReadRecordedRun(*text, record.problem, RecordParts::kWithoutLog)) {
            record.run = std::make_shared<const RecordedRun>(std::move(*run));
          }
        }
      } catch (const std::exception& failure) {
        record.problem = failure.what();
      }
    }
  };
  const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u) - 1;
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < helpers && unread.size() > 64; ++t) threads.emplace_back(read);
  read();
  for (std::thread& thread : threads) thread.join();
  return records;
}

std::string IndexPage(const fs::path& folder, const std::vector<IndexedRecord>& records,
                      std::string_view written, RunsIndexCache* cache) {
  std::vector<Run> runs;
  std::vector<const IndexedRecord*> unreadable;
  for (const IndexedRecord& record : records) {
    if (!record.run) {
      unreadable.push_back(&record);
      continue;
    }
    runs.push_back({&record, UtcSeconds(record.run->started).value_or(0)});
  }
  std::sort(runs.begin(), runs.end(), Newer);
  std::sort(unreadable.begin(), unreadable.end(),
            [](const IndexedRecord* a, const IndexedRecord* b) { return a->file < b->file; });

  // The heads in the order of their identification fields, each with its runs oldest first.
  std::map<std::string, std::vector<Run>> heads;
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    heads[HeadLabel(run->Of())].push_back(*run);
  }
  // Named by the head alone, so that a section stays as it was when other heads come.
  std::map<std::string, std::string> anchors;
  for (const auto& [label, ignored] : heads) anchors[label] = "head-" + Hex(label);

  Data data;
  data.set("folder", ShownText(page::PathText(folder)));
  data.set("runCount", Counted(runs.size(), "run", "runs"));
  data.set("headCount", Counted(heads.size(), "head", "heads"));
  data.set("written", page::ShownDate(written));
  Data bad = page::MakeList();
  for (const IndexedRecord* record : unreadable) {
    Data row;
    row.set("file", ShownText(record->file));
    row.set("problem", ShownText(record->problem));
    bad.push_back(row);
  }
  data.set("hasUnreadable", !unreadable.empty());
  data.set("unreadable", bad);
  data.set("hasRuns", !runs.empty());
  // Thousands of runs: each row and each head is rendered on its own, which keeps the data
  // handed to the renderer small.
  std::string runRows;
  for (const Run& run : runs) {
    runRows += page::Render(kIndexRunTemplate, RunRow(run, anchors[HeadLabel(run.Of())]));
  }
  data.set("runRows", runRows);
  std::string headSections;
  for (const auto& [label, headRuns] : heads) {
    std::string signature;
    for (const Run& run : headRuns) {
      signature += run.record->file + (run.record->hasReport ? "+" : "-") + "\n";
    }
    const std::string* kept = cache != nullptr ? cache->Section(label, signature) : nullptr;
    if (kept != nullptr) {
      headSections += *kept;
      continue;
    }
    std::string section =
        page::Render(kIndexHeadTemplate, HeadSection(label, anchors[label], headRuns));
    headSections += section;
    if (cache != nullptr) cache->KeepSection(label, signature, std::move(section));
  }
  data.set("headSections", headSections);
  return page::Render(kIndexTemplate, data);
}

bool WriteRunsIndex(const fs::path& folder, std::string& problem, RunsIndexCache* cache) {
  auto records = ReadRecordsOf(folder, problem, cache);
  if (!records) return false;
  // A folder of an older version may hold thousands of records without reports: a few at each
  // writing of the index, so that the end of a run is not held up for long.
  std::size_t made = 0;
  for (IndexedRecord& record : *records) {
    if (made == kReportsMadePerIndex) break;
    if (record.run && !record.hasReport) {
      record.hasReport = WriteMissingReport(folder, record);
      ++made;
    }
  }
  const fs::path index = folder / kIndexFileName;
  const std::string text =
      IndexPage(folder, *records, StampOf(std::chrono::system_clock::now()).iso, cache);
  if (cache != nullptr) cache->Keep(*records);
  if (!WriteFileAtomically(index, text)) {
    problem = page::PathText(index) + ": the file could not be written (is the disk full?)";
    return false;
  }
  return true;
}

std::optional<fs::path> RunsIndexToShow(const fs::path& folder, std::string& problem) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    problem = page::PathText(folder) + ": " + error.message();
    return std::nullopt;
  }
  const fs::path index = folder / kIndexFileName;
  if (WriteRunsIndex(folder, problem) || fs::is_regular_file(index, error)) return index;
  return std::nullopt;
}
