// A whole adjustment run (or some of its stages) by the tool against qzr71-headsim on a
// pseudo-terminal, stage by stage: messages and bytes, the time each stage took, and its floor:
// the timed waits plus the wire time of every byte both ways at the line's speed. With --baud the
// simulator answers at that pace (8E1: 11 bits a byte); without it, at once. Prints numbers;
// judges nothing.

#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/Clock.h"
#include "bench/CountingLink.h"
#include "console/MainFormModel.h"
#include "link/MessageBoxes.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "tests/adjust/FakeClock.h"
#include "tests/link/Recorders.h"
#include "tests/sim/SimProcess.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) {
  return std::chrono::duration<double>(d).count();
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class NoBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string&, const std::string&) override {}
};

// The system clock, noting where in its second each timed wait began: a wait of n seconds ends
// at the n-th second boundary after its start, so its floor is n minus that fraction.
class WaitNotingClock final : public Clock {
 public:
  explicit WaitNotingClock(Clock& inner) : inner_(inner) {}
  MonotonicTime Monotonic() override { return inner_.Monotonic(); }
  void SleepUntil(MonotonicTime deadline) override { inner_.SleepUntil(deadline); }
  WallTime Wall() override {
    const WallTime now = inner_.Wall();
    const auto since = now.time_since_epoch();
    phases.push_back(
        std::chrono::duration<double>(since - std::chrono::floor<std::chrono::seconds>(since))
            .count());
    return now;
  }
  LocalTime Now() override { return inner_.Now(); }
  std::vector<double> phases;

 private:
  Clock& inner_;
};

// Bytes in the simulator's trace, both directions.
std::size_t TraceBytes(const std::filesystem::path& trace) {
  std::ifstream in(trace);
  std::size_t bytes = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string seconds, sender, hex;
    fields >> seconds >> sender;
    while (fields >> hex) ++bytes;
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"A run against the simulated head, stage by stage, against its floor"};
  int baud = 0;
  int lastStage = 4;
  int firstStage = 0;
  bool fakeClock = false;
  std::uint64_t seed = 7;
  app.add_option("--baud", baud, "pace the simulated head at this speed, 8E1")
      ->check(CLI::IsMember({2400, 9600, 19200}));
  app.add_option("--from", firstStage, "first stage to report (earlier ones run too)")
      ->check(CLI::Range(0, 4));
  app.add_option("--to", lastStage, "last stage to run")->check(CLI::Range(0, 4));
  app.add_flag("--fake-clock", fakeClock, "let the motor check's waits take no time");
  app.add_option("--seed", seed, "the simulated head's noise seed");
  CLI11_PARSE(app, argc, argv);

  const auto dir =
      std::filesystem::temp_directory_path() / ("qzr71-floor-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto trace = dir / "trace";
  std::vector<std::string> options{"--seed", std::to_string(seed), "--trace", trace.string()};
  if (baud) options.insert(options.end(), {"--baud", std::to_string(baud)});
  SimProcess sim(options);
  const std::string device = sim.NextLine();
  ::setenv("QZR71_COM1", device.c_str(), 1);

  TermiosSerialDevice serial;
  NoBoxes boxes;
  PortDriver driver(serial, boxes, dir / "comm.ini");
  driver.FormCreate();
  if (!driver.PortOpen) {
    std::fprintf(stderr, "cannot open %s\n", device.c_str());
    return 1;
  }
  CountingLink counted(driver);
  CountingBell bell;
  SystemClock system;
  FakeClock fake;
  WaitNotingClock clock(fakeClock ? static_cast<Clock&>(fake) : static_cast<Clock&>(system));
  NoIdlePump pump;
  MainFormModel model(counted, bell, clock, pump);
  RunController& controller = model.Controller;

  const double bitTime = baud ? 11.0 / baud : 0.0;
  std::printf("%s, %s clock, seed %llu\n",
              baud ? ("paced at " + std::to_string(baud) + " baud 8E1").c_str() : "unpaced",
              fakeClock ? "fake" : "real", static_cast<unsigned long long>(seed));
  std::printf(
      "stage  messages  to head  from head  seconds  waits(s)  wire(s)  floor(s)  over floor  tool "
      "cpu(s)\n");
  double total = 0, totalFloor = 0, totalCpu = 0;
  std::size_t totalMessages = 0, totalSent = 0, totalReceived = 0;
  for (int stage = 0; stage <= lastStage; ++stage) {
    const std::size_t messages = counted.messages, sent = counted.sent, received = counted.received;
    const std::size_t waitsBefore = clock.phases.size();
    const double cpu = CpuSeconds();
    const auto start = Steady::now();
    controller.BtnStartClick();
    const double seconds = Seconds(Steady::now() - start);
    const double cpuUsed = CpuSeconds() - cpu;
    if (controller.AdjResult != 1 && controller.AdjResult != kRunCompleted) {
      std::fprintf(stderr, "stage %d failed\n", stage);
      return 1;
    }
    double waits = 0;
    static constexpr double kWaitLengths[] = {6, 11, 11, 11};
    for (std::size_t i = waitsBefore; i < clock.phases.size() && i < 4; ++i) {
      waits += fakeClock ? 0.0 : kWaitLengths[i] - clock.phases[i];
    }
    const std::size_t m = counted.messages - messages;
    const std::size_t s = counted.sent - sent, r = counted.received - received;
    const double wire = static_cast<double>(s + r) * bitTime;
    const double floor = waits + wire;
    if (stage < firstStage) continue;
    std::printf("%5d  %8zu  %7zu  %9zu  %7.3f  %8.3f  %7.3f  %8.3f  %9.3f%%  %10.3f\n", stage, m, s,
                r, seconds, waits, wire, floor, floor > 0 ? 100.0 * (seconds - floor) / floor : 0.0,
                cpuUsed);
    total += seconds, totalFloor += floor, totalCpu += cpuUsed;
    totalMessages += m, totalSent += s, totalReceived += r;
  }
  std::printf("total  %8zu  %7zu  %9zu  %7.3f  %8s  %7.3f  %8.3f  %9.3f%%  %10.3f\n", totalMessages,
              totalSent, totalReceived, total, "",
              static_cast<double>(totalSent + totalReceived) * bitTime, totalFloor,
              totalFloor > 0 ? 100.0 * (total - totalFloor) / totalFloor : 0.0, totalCpu);
  sim.Stop();
  if (firstStage == 0) {
    std::printf("bytes in the simulator's trace, both ways: %zu (counted by the tool: %zu)\n",
                TraceBytes(trace), totalSent + totalReceived);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
