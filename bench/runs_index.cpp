// How long the index of a runs folder takes: a folder of N records (default 10,000) and their
// reports as the recorder writes them, a completed run's record each (log, gain steps and all
// channel sets), over N / 5 heads, so that every head has a change to show. The index is
// written R times (default 5), with reading and rendering also timed apart. Then what the end of
// a run adds to it for the history: its line appended after the lines the records lack, when none
// is missing, when the newest record's line is, and when the whole history is.
// Prints numbers; judges nothing.
//   runs_index_bench [records] [repeats] [folder to keep the records in]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "adjust/SensorTables.h"
#include "link/SettingsFile.h"
#include "records/RecordCompletion.h"
#include "records/RunFiles.h"
#include "records/RunRecord.h"
#include "records/RunsIndex.h"
#include "tests/support/CpuTime.h"

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

double Since(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

AdjustmentRecord::Text8 Text8(const std::string& text) {
  AdjustmentRecord::Text8 field{};
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), field.begin());
  return field;
}

// The record of a completed run of head number `head`, on day `day` after the first.
RunFacts CompletedRun(int head, int day, std::mt19937& random) {
  std::uniform_int_distribution<int> jitter(-3, 3);
  const auto near = [&](int value) { return static_cast<std::uint8_t>(value + jitter(random)); };
  RunFacts facts;
  facts.port = {"COM1", "/dev/ttyUSB0", true, LineFacts{9600, 8, 2, 0}};
  char iso[40];
  char compact[24];
  std::snprintf(iso, sizeof iso, "2024-%02d-%02dT10:%02d:12+02:00", 1 + day / 28 % 12, 1 + day % 28,
                head % 60);
  std::snprintf(compact, sizeof compact, "2024%02d%02d-10%02d12", 1 + day / 28 % 12, 1 + day % 28,
                head % 60);
  facts.started = {iso, compact};
  facts.ended = {iso, compact};
  char id[16];
  std::snprintf(id, sizeof id, "DR%06d", head);
  HeadDataFacts read;
  read.ModelCode = Text8("QZR71000");
  read.AdjustDate = Text8("24030109");
  read.HeadIdField = Text8(id);
  read.ProgramVersion = Text8("S1 V1.06");
  facts.headData = read;
  facts.motorSpeeds = {350, 352, 349};
  AdjustmentRecord& r = facts.record;
  for (std::size_t i = 0; i < 23; ++i) facts.whitePaperLevels.push_back(near(TargetLevel24[i]));
  for (std::size_t i = 0; i < 24; ++i) {
    r.PaperGain[i] = near(20);
    r.DaValue[i] = near(100);
    r.BlackLevel[i] = near(10);
  }
  for (std::size_t i = 0; i < 16; ++i) {
    r.NoPaperGain[i] = near(8);
    r.NoPaperLevel[i] = near(100);
  }
  for (auto& row : r.GainStepLevel) row.fill(near(60));
  r.FrontLevelInPaper = near(200);
  r.ExitLevelInPaper = near(200);
  r.FrontLevelNoPaper = near(40);
  r.ExitLevelNoPaper = near(40);
  r.CheckWord = static_cast<std::uint32_t>(random() & 0xFFFF);
  r.HeadIdField = read.HeadIdField;
  for (const ProgressStep step :
       {ProgressStep::kGainAdjustment24, ProgressStep::kBlackLevelCheck,
        ProgressStep::kGainAdjustment16, ProgressStep::kVerifyCheckWord,
        ProgressStep::kWriteAdjustments, ProgressStep::kSendFinishFrame}) {
    facts.steps[step] = {1, true};
  }
  facts.steps[ProgressStep::kGainStepCheck] = {6, true};
  facts.steps[ProgressStep::kS0tGainResponse] = {5, true};
  facts.steps[ProgressStep::kDaAdjustment] = {40, true};
  facts.steps[ProgressStep::kS0tAutoAdjust] = {60, true};
  facts.steps[ProgressStep::kFrontExitCheck] = {1, true};
  facts.ending = {RunEnd::kCompleted, 4, kRunCompleted};
  // The log at the end of a completed run, about as long as a real one's.
  facts.log = {" ***** WRITING the adjustment data *****", " Check word 12E4", " Write ID OK"};
  for (int i = 0; i < 20; ++i) facts.log.push_back("   l3t_ir 102 c0t_ir 101 r3t_ir 103");
  facts.log.push_back(" Adjustment complete.\r\n Push Complete button.");
  return facts;
}

std::string ReadBytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first figure of /proc/loadavg: how busy the machine was while this ran.
std::string LoadAverage() {
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  char text[64] = "unknown\n";
  if (file != nullptr) {
    if (std::fgets(text, sizeof text, file) == nullptr)
      std::snprintf(text, sizeof text, "unknown\n");
    std::fclose(file);
  }
  std::string load(text);
  return load.substr(0, load.find(' ')) + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 10'000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
  // Making the records takes minutes (each is written to the disk for good, as the recorder
  // writes it): a folder named here is kept, and serves again while it holds as many records.
  const bool kept = argc > 3;
  const fs::path folder =
      kept ? fs::path(argv[3])
           : fs::temp_directory_path() /
                 ("qzr71-runs-index-bench-" + std::to_string(std::random_device()()));
  const fs::path made = folder / ("made-" + std::to_string(records));
  std::error_code ignored;
  std::string problem;
  if (kept && fs::exists(made, ignored)) {
    std::printf("%d records made before in %s\n", records, folder.string().c_str());
  } else {
    if (kept && fs::exists(folder, ignored) && !fs::is_empty(folder, ignored)) {
      std::fprintf(stderr, "%s holds other files: name an empty or a new folder\n",
                   folder.string().c_str());
      return 2;
    }
    std::mt19937 random(71);
    std::uintmax_t bytes = 0;
    const int heads = std::max(1, records / 5);
    for (int run = 0; run < records; ++run) {
      // Each record with its report beside it, as the recorder leaves them.
      const RunFacts facts = CompletedRun(run % heads, run / heads, random);
      const std::string text = RecordText(facts);
      bytes += text.size();
      const auto name = WriteNewRecordFile(folder, RecordFileStem(facts), text, problem);
      if (!name || !WriteReportFile(folder, *name, text, problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
      }
    }
    if (kept) WriteFileAtomically(made, "");
    std::printf("%d records of %d heads, %.1f KB each on average, in %s\n", records, heads,
                static_cast<double>(bytes) / records / 1024, folder.string().c_str());
  }

  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  // As after each run and from the menu: the folder read and its index written anew.
  std::vector<double> whole, wholeCpu, reading, readingCpu, rendering, renderingCpu;
  for (int r = 0; r < repeats; ++r) {
    Steady::time_point start = Steady::now();
    double cpu = CpuSeconds();
    if (!WriteRunsIndex(folder, problem)) std::fprintf(stderr, "%s\n", problem.c_str());
    whole.push_back(Since(start));
    wholeCpu.push_back(CpuSeconds() - cpu);
    start = Steady::now();
    cpu = CpuSeconds();
    const auto read = ReadRecordsOf(folder, problem);
    reading.push_back(Since(start));
    readingCpu.push_back(CpuSeconds() - cpu);
    start = Steady::now();
    cpu = CpuSeconds();
    const std::string page = IndexPage(folder, *read, "2024-12-31T00:00:00+01:00");
    rendering.push_back(Since(start));
    renderingCpu.push_back(CpuSeconds() - cpu);
    if (r == 0) std::printf("index.html: %.1f MB\n", static_cast<double>(page.size()) / 1e6);
  }
  std::printf(
      "index (list, read, render, write), median of %d: %.3f s (best %.3f s), "
      "processor time %.3f s\n",
      repeats, median(whole), *std::min_element(whole.begin(), whole.end()), median(wholeCpu));
  std::printf("  reading the records: %.3f s, processor time %.3f s\n", median(reading),
              median(readingCpu));
  std::printf("  rendering the page: %.3f s, processor time %.3f s\n", median(rendering),
              median(renderingCpu));

  // The history: written whole from the records once, then as at the end of a run, with the
  // run's own line, dated after every record.
  const auto folderRecords = ReadRecordsOf(folder, problem);
  const fs::path history = folder / kHistoryFileName;
  fs::remove(history, ignored);
  std::mt19937 random(72);
  RunFacts later = CompletedRun(0, 999, random);
  later.started = {"2025-01-01T10:00:00+01:00", "20250101-100000"};
  std::string own = RecordText(later);
  const std::string ownLine = HistoryLine(*ReadRecordedRun(own, problem), "own.json");
  const auto timed = [&](std::vector<double>& wall, std::vector<double>& cpu) {
    const Steady::time_point start = Steady::now();
    const double before = CpuSeconds();
    if (!AppendRunToHistory(history, *folderRecords, "", ownLine, problem)) {
      std::fprintf(stderr, "%s\n", problem.c_str());
    }
    wall.push_back(Since(start));
    cpu.push_back(CpuSeconds() - before);
  };
  std::vector<double> allWall, allCpu, noneWall, noneCpu, oneWall, oneCpu;
  timed(allWall, allCpu);
  const std::uintmax_t historyBytes = fs::file_size(history, ignored);
  for (int r = 0; r < repeats; ++r) timed(noneWall, noneCpu);
  // The newest record's line taken out, with the run's lines after it: a full disk kept it out.
  for (int r = 0; r < repeats; ++r) {
    std::string text = ReadBytesOf(history);
    text.erase(text.find(ownLine));
    text.erase(text.rfind("\r\n", text.size() - 3) + 2);
    WriteFileAtomically(history, text);
    timed(oneWall, oneCpu);
  }
  std::printf("history of %zu lines (%.1f MB), the run's line appended, median of %d:\n",
              folderRecords->size(), static_cast<double>(historyBytes) / 1e6, repeats);
  std::printf("  no line missing: %.4f s, processor time %.4f s\n", median(noneWall),
              median(noneCpu));
  std::printf("  the newest record's line missing: %.4f s, processor time %.4f s\n",
              median(oneWall), median(oneCpu));
  std::printf("  every line missing (the history made anew, once): %.3f s, processor time %.3f s\n",
              allWall[0], allCpu[0]);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("load average over the last minute: %s", LoadAverage().c_str());
  std::printf("peak resident memory: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  if (!kept) fs::remove_all(folder, ignored);
  return 0;
}
