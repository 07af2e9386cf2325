// Soak: whole runs by the tool's real link layer on pseudo-terminals, one tool for all of them,
// each run against a newly started head unit with its own noise seed and 2% of its messages hit
// by a link fault the tool's retries can mend; one run in ten also loses its cable. Every run
// must complete with what the head stored equal to what the tool wrote, or end with the
// communication error of its pulled cable; nothing else. The tool's resident memory must not
// grow by a megabyte over the runs.
//
// The test command runs a few; the long run is
//   QZR71_SOAK_RUNS=200 build/test/tests/sim/sim_pty_test --gtest_filter=Soak.*
// (QZR71_SOAK_SEED picks the first seed; QZR71_SOAK_KEEP=DIR keeps what a failed run left).

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "adjust/WriteBack.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/MainFormModel.h"
#include "run/PortSettingsModel.h"
#include "sim/StoredData.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr double kFaultShare = 0.02;
constexpr double kPulledCableShare = 0.1;
constexpr std::uint32_t kMessagesPerRun = 850;  // a healthy run sends about this many

const Lines kComplete{" ****** Complete *****", "", "  Push Complete button"};
const Lines kCommError{" Communication error", "", "  Push Cancel button."};

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 10) : otherwise;
}

// The address sanitizer keeps freed memory in quarantine, so memory growth means nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryTellsLeaks = false;
#else
constexpr bool kMemoryTellsLeaks = true;
#endif

long HeapInUseKilobytes() {
  const auto heap = mallinfo2();
  return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
}

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE) / 1024;
}

struct Head {
  std::string scenario;
  std::size_t faults = 0;
  bool pulledCable = false;
};

// A head unit, and the faults its line plays: each message hit with the fault share, by a fault
// a retry mends; the pulled cable first, so that it rules where it coincides with another.
Head MakeHead(std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> chance(0, 1);
  std::uniform_int_distribution<std::uint32_t> unit(1, 40), message(1, kMessagesPerRun);
  static const char* const kMendable[] = {"silent", "wrong-ack", "short",
                                          "extra",  "late",      "garbage"};
  Head head;
  std::ostringstream text;
  text << "unit " << unit(random) << "\n";
  if (chance(random) < kPulledCableShare) {
    head.pulledCable = true;
    text << "hangup any " << message(random) << " down=100\n";
  }
  for (std::uint32_t n = 1; n <= kMessagesPerRun; ++n) {
    if (chance(random) >= kFaultShare) continue;
    const char* fault = kMendable[random() % std::size(kMendable)];
    // One byte of garbage: never as long as a reply, so the exchange sees it fail.
    text << fault << " any " << n << (std::string(fault) == "garbage" ? " count=1" : "") << "\n";
    ++head.faults;
  }
  head.scenario = text.str();
  return head;
}

// The last lines of the head's trace, to tell what went wrong in a run that failed.
std::string TraceTail(const fs::path& file, std::size_t count) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::string tail;
  for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
    tail += lines[i] + "\n";
  return tail;
}

// With QZR71_SOAK_KEEP=DIR, a run that ended otherwise leaves its head's whole trace and its
// scenario there, to lay each try of the exchange that failed beside its time-out.
void KeepForLater(const fs::path& trace, const fs::path& scenario, std::uint64_t seed) {
  const char* keep = std::getenv("QZR71_SOAK_KEEP");
  if (keep == nullptr || *keep == '\0') return;
  std::error_code error;
  fs::create_directories(keep, error);
  const std::string stem = "seed-" + std::to_string(seed);
  fs::copy_file(trace, fs::path(keep) / (stem + ".trace"), fs::copy_options::overwrite_existing,
                error);
  fs::copy_file(scenario, fs::path(keep) / (stem + ".scn"), fs::copy_options::overwrite_existing,
                error);
}

bool Contains(const fs::path& file, const std::string& text) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

// What the head stored is what the tool believes it wrote. (The black and no-paper levels are the
// head's own last readings, which a retried poll may have replaced after the tool's.)
void ExpectStored(const fs::path& state, const AdjustmentRecord& r) {
  std::string error;
  const auto block = sim::LoadStateFile(state, error);
  ASSERT_TRUE(block) << error;
  const auto& b = *block;
  const auto identification = IdentificationBlock(r);
  EXPECT_TRUE(std::equal(identification.begin(), identification.end(), b.begin()));
  // The head keeps regulating s0t_ir after its last answer; channels 0..22 must agree.
  EXPECT_TRUE(
      std::equal(r.DaValue.begin(), r.DaValue.end() - 1, b.begin() + sim::block::kDaValues));
  EXPECT_TRUE(
      std::equal(r.PaperGain.begin(), r.PaperGain.end(), b.begin() + sim::block::kPaperGains));
  EXPECT_TRUE(std::equal(r.NoPaperGain.begin(), r.NoPaperGain.end(),
                         b.begin() + sim::block::kNoPaperGains));
  EXPECT_EQ(b[sim::block::kCheckWord] | (b[sim::block::kCheckWord + 1] << 8), r.CheckWord);
}

TEST(Soak, EveryRunCompletesOrEndsWithTheErrorOfItsPulledCable) {
  const std::uint64_t runs = FromEnvironment("QZR71_SOAK_RUNS", 4);
  const std::uint64_t firstSeed = FromEnvironment("QZR71_SOAK_SEED", 1);
  TempDir dir;
  const fs::path link = dir.Path() / "head";
  const fs::path state = dir.Path() / "state";
  const fs::path trace = dir.Path() / "trace";
  const fs::path scenario = dir.Path() / "head.scn";
  setenv("QZR71_COM1", link.c_str(), 1);

  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  MainFormModel model(driver, bell, clock, pump);
  RunController& controller = model.Controller;
  controller.SetRunStarting([&settings] { settings.RunStarting(); });

  std::size_t completed = 0, pulled = 0, faults = 0;
  long residentAfterFirst = 0, heapAfterFirst = 0;
  double longest = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t run = 0; run < runs; ++run) {
    const std::uint64_t seed = firstSeed + run;
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Head head = MakeHead(seed);
    faults += head.faults;
    std::ofstream(scenario) << head.scenario;
    fs::remove(state);
    HeadSimulator sim({"--link", link.string(), "--scenario", scenario.string(), "--seed",
                       std::to_string(seed), "--state", state.string(), "--trace", trace.string()});
    ASSERT_FALSE(sim.NextLine().empty());
    if (run == 0) {
      settings.FormCreate();
      ASSERT_TRUE(driver.IsOpen());
    } else {
      ASSERT_TRUE(settings.OkBtnClick()) << "Select opens the new head's line";
    }

    const auto began = std::chrono::steady_clock::now();
    controller.BtnStartClick();
    while (controller.AdjResult == 1 && controller.View().btnStart.enabled) {
      controller.BtnStartClick();
    }
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    longest = std::max(longest, took);
    const Lines log = model.Log.Lines();
    const AdjustmentRecord record = model.Record;
    controller.BtnCancelClick();  // Complete or Cancel: back to idle
    EXPECT_EQ(sim.Stop(), 0);
    // The fake clock notes every sleep, 780 a run: its notes are the test's, not the tool's.
    decltype(clock.sleeps)().swap(clock.sleeps);

    if (log == kComplete) {
      ++completed;
      ExpectStored(state, record);
    } else if (log == kCommError && head.pulledCable && Contains(trace, "hang-up")) {
      ++pulled;
    } else {
      KeepForLater(trace, scenario, seed);
      ADD_FAILURE() << "a run ended otherwise:\n"
                    << testing::PrintToString(log) << "\nscenario:\n"
                    << head.scenario << "\nthe head's trace, last 40 lines:\n"
                    << TraceTail(trace, 40);
    }
    std::printf("seed %llu: %zu faults%s, %s, %.1f s\n", static_cast<unsigned long long>(seed),
                head.faults, head.pulledCable ? " and a pulled cable" : "",
                log == kComplete ? "completed" : log.front().c_str(), took);
    if (run == 0) {
      residentAfterFirst = ResidentKilobytes();
      heapAfterFirst = HeapInUseKilobytes();
    }
  }
  const long growth = ResidentKilobytes() - residentAfterFirst;
  const long heapGrowth = HeapInUseKilobytes() - heapAfterFirst;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "soak: %llu runs from seed %llu: %zu completed, %zu ended by a pulled cable; %zu link "
      "faults, "
      "%d retries; %.0f s, longest run %.1f s; since the first run: resident memory %+ld kB, heap "
      "in "
      "use %+ld kB\n",
      static_cast<unsigned long long>(runs), static_cast<unsigned long long>(firstSeed), completed,
      pulled, faults, bell.rings, seconds, longest, growth, heapGrowth);
  EXPECT_EQ(completed + pulled, runs);
  if (kMemoryTellsLeaks) {
    EXPECT_LT(growth, 1024);
  }
}

}  // namespace
