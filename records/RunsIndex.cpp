#include "records/RunsIndex.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include "records/PageParts.h"
#include "records/PageTemplates.h"
#include "records/RecordCompletion.h"
#include "records/RunFiles.h"
#include "records/RunReport.h"

namespace {

namespace fs = std::filesystem;
using page::Data;

// A record is a few kilobytes; a file far larger is no record and is not read whole.
constexpr std::uintmax_t kLargestRecord = 1 << 20;
// The changed channels of a chart, or the reason a record cannot be read, are longer texts that
// wrap; still a hand-edited record may not make them any length.
constexpr std::size_t kLongestNumbers = 400;

}  // namespace

std::optional<std::string> ReadRecordFile(const fs::path& file, std::string& problem) {
  // Unbuffered: the text goes straight into its string.
  std::ifstream in;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(file, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size < 0) {
    problem = "cannot be read";
    return std::nullopt;
  }
  if (static_cast<std::uintmax_t>(size) > kLargestRecord) {
    problem = "larger than a record can be (" + std::to_string(size) + " bytes)";
    return std::nullopt;
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in.seekg(0) || !in.read(text.data(), static_cast<std::streamsize>(size))) {
    problem = "cannot be read";
    return std::nullopt;
  }
  return text;
}

namespace {

struct Run {
  const IndexedRecord* record;
  const RecordedRun& Of() const { return *record->run; }
};

bool Newer(const Run& a, const Run& b) {
  if (a.Of().startedUtc != b.Of().startedUtc) return a.Of().startedUtc > b.Of().startedUtc;
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

// The data of the index's rows and sections is put in place, not set: setting copies a value
// whole, and a head's section nests rows and charts.
Data RunRow(const Run& run, const std::string& anchor) {
  const RecordedRun& r = run.Of();
  Data row;
  page::SetCut(row, "date", page::ShownDate(r.started));
  page::SetCut(row, "head", ShownText(HeadLabel(r)));
  row["headAnchor"] = Data(anchor);
  page::SetCut(row, "how", ShownText(r.how));
  row["resultClass"] = Data(page::ResultClass(r));
  page::SetCut(row, "lastItem", ShownText(r.lastItem));
  row["checkWord"] = Data(r.checkWord ? std::to_string(*r.checkWord) : std::string());
  page::SetCut(row, "file", ShownText(run.record->file));
  row["href"] =
      run.record->hasReport ? Data(page::LinkTo(ReportFileName(run.record->file))) : Data(false);
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

// The channel's value in the run before: at the same place in the set, as records are written,
// else wherever the set has it.
std::optional<int> ValueBefore(const ChannelValues& values, std::size_t at,
                               const std::string& name) {
  if (at < values.size() && values[at].name == name) return values[at].value;
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
  deltas.reserve(now->size());
  int largest = 1;
  for (std::size_t i = 0; i < now->size(); ++i) {
    const NamedValue& channel = (*now)[i];
    const std::optional<int> old = ValueBefore(*then, i, channel.name);
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
    numbers += channel.name;
    numbers += ' ';
    numbers += std::to_string(channel.value);
    if (!deltas[i]) {
      numbers += " (not before)";
      continue;
    }
    const int delta = *deltas[i];
    numbers += delta > 0 ? " (+" : " (";
    numbers += std::to_string(delta);
    numbers += ')';
    // Whole units: the chart is drawn a few pixels high.
    const int height = std::max(1, (10 * std::abs(delta) + largest / 2) / largest);
    std::string& path = delta > 0 ? up : down;
    path += 'M';
    path += std::to_string(static_cast<int>(i) * kPitch);
    path += " 0v";
    path += std::to_string(delta > 0 ? -height : height);
    path += "h3V0z";
  }
  Data chart;
  chart["title"] = Data(quantity.title);
  chart["width"] = Data(std::to_string(static_cast<int>(deltas.size()) * kPitch));
  chart["up"] = Data(up);
  chart["down"] = Data(down);
  page::SetCut(chart, "numbers", numbers.empty() ? "none" : ShownText(numbers), kLongestNumbers);
  return chart;
}

// The head's section: its runs over time, then the change at its last completed run since the
// completed run before it.
Data HeadSection(const std::string& label, const std::string& anchor,
                 const std::vector<Run>& runs) {
  Data section;
  page::SetCut(section, "head", ShownText(label));
  section["anchor"] = Data(anchor);
  Data& rows = section["runs"] = page::MakeList();
  std::vector<const Run*> completed;
  for (const Run& run : runs) {
    rows.push_back(RunRow(run, anchor));
    if (run.Of().Completed()) completed.push_back(&run);
  }
  if (completed.size() < 2) {
    section["change"] = Data(false);
    section["changeNote"] =
        Data(completed.empty() ? "No completed run yet."
                               : "One completed run: nothing before it to compare with.");
    return section;
  }
  const RecordedRun& last = completed.back()->Of();
  const RecordedRun& before = completed[completed.size() - 2]->Of();
  Data& change = section["change"] = Data();
  change["lastDate"] = Data(page::ShownDate(last.started));
  change["beforeDate"] = Data(page::ShownDate(before.started));
  Data& charts = change["charts"] = page::MakeList();
  for (const Quantity& quantity : kQuantities) {
    if (auto chart = ChangeChart(quantity, last, before)) charts.push_back(*chart);
  }
  return section;
}

// Where the page's two long lists go in its frame. Through the template engine whole, the
// megabytes of a folder of thousands of runs would be copied over and over; instead the frame is
// rendered with these marks as values like any other (escaping leaves them as they are), and the
// lists, each row and section rendered with its values escaped, put in their places once. No
// text shown can hold a mark: ShownText shows every control character as \xNN.
constexpr std::string_view kRunRowsMark = "\x01runRows\x01";
constexpr std::string_view kHeadSectionsMark = "\x01headSections\x01";

// The frame with each mark, in the order they appear in it, replaced by its pieces, in one
// string of the page's size. A list may have no mark only when it is empty.
std::string Filled(
    std::string_view frame,
    std::initializer_list<std::pair<std::string_view, const std::vector<std::string>*>> lists) {
  std::size_t size = frame.size();
  for (const auto& [mark, pieces] : lists) {
    for (const std::string& piece : *pieces) size += piece.size();
  }
  std::string page;
  page.reserve(size);
  for (const auto& [mark, pieces] : lists) {
    const std::size_t at = frame.find(mark);
    if (at == std::string_view::npos) {
      if (pieces->empty()) continue;
      throw std::logic_error("page template: no place for a list");
    }
    page.append(frame.substr(0, at));
    for (const std::string& piece : *pieces) page += piece;
    frame.remove_prefix(at + mark.size());
  }
  page.append(frame);
  return page;
}

}  // namespace

std::optional<std::vector<IndexedRecord>> ReadRecordsOf(const fs::path& folder,
                                                        std::string& problem) {
  std::vector<IndexedRecord> records;
  std::error_code error;
  if (!fs::exists(folder, error) && !error) return records;
  std::unordered_set<std::string> names;
  std::vector<std::string> recordFiles;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = page::PathText(entry->path().filename());
    std::error_code fileError;
    if (entry->path().extension() == ".json" && entry->is_regular_file(fileError)) {
      recordFiles.push_back(name);
    }
    names.insert(std::move(name));
  }
  if (error) {
    problem = page::PathText(folder) + ": " + error.message();
    return std::nullopt;
  }
  records.reserve(recordFiles.size());
  for (std::string& file : recordFiles) {
    IndexedRecord& record = records.emplace_back();
    record.file = std::move(file);
    record.hasReport = names.contains(ReportFileName(record.file));
    try {
      if (auto text = ReadRecordFile(folder / page::PathOf(record.file), record.problem)) {
        record.run = ReadRecordedRun(std::move(*text), record.problem, RecordParts::kWithoutLog);
      }
    } catch (const std::exception& failure) {
      record.problem = failure.what();
    }
  }
  return records;
}

std::string IndexPage(const fs::path& folder, const std::vector<IndexedRecord>& records,
                      std::string_view written) {
  std::vector<Run> runs;
  std::vector<const IndexedRecord*> unreadable;
  for (const IndexedRecord& record : records) {
    if (!record.run) {
      unreadable.push_back(&record);
      continue;
    }
    runs.push_back({&record});
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
    page::SetCut(row, "file", ShownText(record->file));
    page::SetCut(row, "problem", ShownText(record->problem), kLongestNumbers);
    bad.push_back(row);
  }
  data.set("hasUnreadable", !unreadable.empty());
  data.set("unreadable", bad);
  data.set("hasRuns", !runs.empty());
  // Thousands of runs: each row and each head is rendered on its own, which keeps the data
  // handed to the renderer small, and put in its place in the page at the end.
  std::vector<std::string> runRows;
  runRows.reserve(runs.size());
  for (const Run& run : runs) {
    runRows.push_back(page::Render(kIndexRunTemplate, RunRow(run, anchors[HeadLabel(run.Of())])));
  }
  std::vector<std::string> headSections;
  headSections.reserve(heads.size());
  for (const auto& [label, headRuns] : heads) {
    headSections.push_back(
        page::Render(kIndexHeadTemplate, HeadSection(label, anchors[label], headRuns)));
  }
  data.set("runRows", std::string(kRunRowsMark));
  data.set("headSections", std::string(kHeadSectionsMark));
  return Filled(page::Render(kIndexTemplate, data),
                {{kRunRowsMark, &runRows}, {kHeadSectionsMark, &headSections}});
}

bool WriteIndexFile(const fs::path& folder, const std::vector<IndexedRecord>& records,
                    std::string& problem, RecordDisk& disk) {
  const fs::path index = folder / kIndexFileName;
  const std::string text =
      IndexPage(folder, records, StampOf(std::chrono::system_clock::now()).iso);
  if (const std::error_code error = disk.WriteWhole(index, text)) {
    problem = FileProblem(index, error);
    return false;
  }
  return true;
}

bool WriteRunsIndex(const fs::path& folder, std::string& problem) {
  auto records = ReadRecordsOf(folder, problem);
  if (!records) return false;
  // Records of a version that wrote no reports get theirs; a page that cannot be written is
  // listed without it.
  std::string unwritten;
  WriteMissingReports(folder, *records, unwritten);
  return WriteIndexFile(folder, *records, problem);
}
