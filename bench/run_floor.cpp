// A whole adjustment run (or some of its stages) by the tool against qzr71-headsim on a
// pseudo-terminal, stage by stage: messages and bytes, the time each stage took, and its floor:
// the timed waits plus the wire time of every byte both ways at the line's speed. With --baud the
// simulator answers at that pace (8E1: 11 bits a byte); without it, at once. With --repeat the
// whole thing runs that often, and the medians follow. Where the run took longer than its floor,
// the tool's timestamps laid beside the simulator's trace tell which side spent the time. With
// --rfc2217 the tool reaches the head through ser2net on 127.0.0.1, in front of the same line.
// Prints numbers; judges nothing.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/Clock.h"
#include "bench/CountingLink.h"
#include "bench/WaitNotingClock.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "run/MainFormModel.h"
#include "run/MessageBoxes.h"
#include "run/PortSettingsModel.h"
#include "tests/support/CpuTime.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/Recorders.h"
#include "tests/support/Ser2net.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) {
  return std::chrono::duration<double>(d).count();
}

class NoBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string&, const std::string&) override {}
};

// The simulator's trace: each message of the tool and each answer, on the monotonic clock.
struct TraceEntry {
  Steady::time_point at;
  bool fromTool = false;
  std::size_t bytes = 0;
};

std::vector<TraceEntry> ReadTrace(const std::filesystem::path& trace) {
  std::ifstream in(trace);
  std::vector<TraceEntry> entries;
  long long origin = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string seconds, sender, hex;
    if (line.starts_with("#")) {
      if (const auto at = line.find(" 0 is "); at != std::string::npos) {
        origin = std::stoll(line.substr(at + 6));
      }
      continue;
    }
    fields >> seconds >> sender;
    TraceEntry entry;
    entry.at = Steady::time_point(
        std::chrono::nanoseconds(origin + std::llround(std::stod(seconds) * 1e9)));
    entry.fromTool = sender == "tool";
    while (fields >> hex) ++entry.bytes;
    entries.push_back(entry);
  }
  return entries;
}

// When each of the tool's transfers began and ended.
class TimedLink final : public PortLink {
 public:
  explicit TimedLink(PortLink& inner) : inner_(inner) {}
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    Exchange exchange;
    exchange.writeStart = Steady::now();
    const bool written = inner_.WritePort(count, bytes);
    exchange.writeEnd = Steady::now();
    exchanges.push_back(exchange);
    return written;
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    const std::uint32_t n = inner_.ReadPort(count, buffer);
    if (!exchanges.empty()) exchanges.back().readEnd = Steady::now();
    return n;
  }
  struct Exchange {
    Steady::time_point writeStart, writeEnd, readEnd;
  };
  std::vector<Exchange> exchanges;

 private:
  PortLink& inner_;
};

// Where the time of each exchange beyond the wire went, summed over the run, in seconds.
struct Split {
  double toolWrite = 0;        // the tool's write and drain
  double simReads = 0;         // from the write's end until the simulator has the message
  double simAnswers = 0;       // the simulator's lateness in starting its answer
  double lastByteAndWake = 0;  // the last byte's lateness and the tool's read waking: both sides
  double toolBetween = 0;      // the tool from one answer to its next request
  std::size_t exchanges = 0;
};

Split SplitTime(const std::vector<TimedLink::Exchange>& tool, const std::vector<TraceEntry>& trace,
                double byteTime) {
  Split split;
  std::vector<const TraceEntry*> received, answered;
  for (const TraceEntry& entry : trace) (entry.fromTool ? received : answered).push_back(&entry);
  const std::size_t n = std::min({tool.size(), received.size(), answered.size()});
  for (std::size_t i = 0; i < n; ++i) {
    const auto& t = tool[i];
    const double request = static_cast<double>(received[i]->bytes) * byteTime;
    const double reply = static_cast<double>(answered[i]->bytes) * byteTime;
    split.toolWrite += Seconds(t.writeEnd - t.writeStart);
    split.simReads += Seconds(received[i]->at - t.writeEnd);
    // The simulator traces an answer when it wakes to send the first byte, one byte time after
    // the answer began.
    const double began = Seconds(answered[i]->at - received[i]->at) - (reply > 0 ? byteTime : 0);
    split.simAnswers += began - request;
    split.lastByteAndWake +=
        Seconds(t.readEnd - answered[i]->at) + (reply > 0 ? byteTime : 0) - reply;
    if (i + 1 < n) split.toolBetween += Seconds(tool[i + 1].writeStart - t.readEnd);
    ++split.exchanges;
  }
  return split;
}

struct Options {
  int baud = 0;
  int firstStage = 0;
  int lastStage = 4;
  bool fakeClock = false;
  bool throughServer = false;
  std::uint64_t seed = 7;
};

struct Result {
  double seconds = 0, floor = 0, cpu = 0;
  Split split;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool RunOnce(const Options& o, Result& result) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("qzr71-floor-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto trace = dir / "trace";
  std::vector<std::string> options{"--seed", std::to_string(o.seed), "--trace", trace.string()};
  if (o.baud) options.insert(options.end(), {"--baud", std::to_string(o.baud)});
  HeadSimulator sim(options);
  std::string device = sim.NextLine();
  std::optional<Ser2net> server;
  if (o.throughServer) {
    server.emplace(device);
    device = server->Address();
  }
  ::setenv("QZR71_COM1", device.c_str(), 1);

  SerialDevice serial;
  NoBoxes boxes;
  PortDriver driver(serial);
  PortSettingsModel settings(driver, boxes, dir / "comm.ini");
  settings.FormCreate();
  if (!driver.IsOpen()) {
    std::fprintf(stderr, "cannot open %s\n", device.c_str());
    return false;
  }
  CountingLink counted(driver);
  TimedLink timed(counted);
  CountingBell bell;
  SystemClock system;
  FakeClock fake;
  WaitNotingClock clock(o.fakeClock ? static_cast<Clock&>(fake) : static_cast<Clock&>(system));
  NoIdlePump pump;
  MainFormModel model(timed, bell, clock, pump);
  RunController& controller = model.Controller;
  controller.SetRunStarting([&settings] { settings.RunStarting(); });

  const double bitTime = o.baud ? 11.0 / o.baud : 0.0;
  std::printf("%s, %s clock, seed %llu, %s\n",
              o.baud ? ("paced at " + std::to_string(o.baud) + " baud 8E1").c_str() : "unpaced",
              o.fakeClock ? "fake" : "real", static_cast<unsigned long long>(o.seed),
              o.throughServer ? "through ser2net (RFC 2217, 127.0.0.1)" : "on the line itself");
  std::printf(
      "stage  messages  to head  from head  seconds  waits(s)  wire(s)  floor(s)  over floor  tool "
      "cpu(s)\n");
  double total = 0, totalFloor = 0, totalCpu = 0;
  std::size_t totalMessages = 0, totalSent = 0, totalReceived = 0;
  for (int stage = 0; stage <= o.lastStage; ++stage) {
    const std::size_t messages = counted.messages, sent = counted.sent, received = counted.received;
    const std::size_t waitsBefore = clock.phases.size();
    const double cpu = CpuSeconds();
    const auto start = Steady::now();
    controller.BtnStartClick();
    const double seconds = Seconds(Steady::now() - start);
    const double cpuUsed = CpuSeconds() - cpu;
    if (controller.AdjResult != 1 && controller.AdjResult != kRunCompleted) {
      std::fprintf(stderr, "stage %d failed\n", stage);
      return false;
    }
    const double waits = o.fakeClock ? 0.0 : clock.WaitedSince(waitsBefore);
    const std::size_t m = counted.messages - messages;
    const std::size_t s = counted.sent - sent, r = counted.received - received;
    const double wire = static_cast<double>(s + r) * bitTime;
    const double floor = waits + wire;
    if (stage < o.firstStage) continue;
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
  const std::vector<TraceEntry> entries = ReadTrace(trace);
  std::size_t traced = 0;
  for (const TraceEntry& entry : entries) traced += entry.bytes;
  if (o.firstStage == 0) {
    std::printf("bytes in the simulator's trace, both ways: %zu (counted by the tool: %zu)\n",
                traced, totalSent + totalReceived);
  }
  result.split = SplitTime(timed.exchanges, entries, bitTime);
  // The timed waits lie between exchanges; what is left there is the tool's own work.
  result.split.toolBetween -= totalFloor - static_cast<double>(totalSent + totalReceived) * bitTime;
  const Split& x = result.split;
  const double each = 1e6 / static_cast<double>(std::max<std::size_t>(x.exchanges, 1));
  std::printf(
      "beyond the wire, per exchange (us): tool write %.1f, simulator takes the message %.1f, "
      "simulator starts its answer late %.1f, last byte late and the tool's read wakes %.1f, "
      "tool between exchanges, the timed waits left out, %.1f (%zu exchanges)\n",
      x.toolWrite * each, x.simReads * each, x.simAnswers * each, x.lastByteAndWake * each,
      x.toolBetween * each, x.exchanges);
  result.seconds = total;
  result.floor = totalFloor;
  result.cpu = totalCpu;
  std::filesystem::remove_all(dir);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"A run against the simulated head, stage by stage, against its floor"};
  Options o;
  int repeat = 1;
  app.add_option("--baud", o.baud, "pace the simulated head at this speed, 8E1")
      ->check(CLI::IsMember({2400, 9600, 19200}));
  app.add_option("--from", o.firstStage, "first stage to report (earlier ones run too)")
      ->check(CLI::Range(0, 4));
  app.add_option("--to", o.lastStage, "last stage to run")->check(CLI::Range(0, 4));
  app.add_flag("--fake-clock", o.fakeClock, "let the motor check's waits take no time");
  app.add_option("--seed", o.seed, "the simulated head's noise seed");
  app.add_flag("--rfc2217", o.throughServer, "reach the head through ser2net on 127.0.0.1");
  app.add_option("--repeat", repeat, "whole runs, each with a new head; then the medians")
      ->check(CLI::Range(1, 100));
  CLI11_PARSE(app, argc, argv);

  std::vector<double> seconds, over, cpu, simSide, toolSide, shared;
  for (int i = 0; i < repeat; ++i) {
    Result r;
    if (!RunOnce(o, r)) return 1;
    const double floor = r.floor > 0 ? r.floor : 1;
    seconds.push_back(r.seconds);
    over.push_back(r.floor > 0 ? 100.0 * (r.seconds - r.floor) / r.floor : 0.0);
    cpu.push_back(r.cpu);
    simSide.push_back(100.0 * (r.split.simReads + r.split.simAnswers) / floor);
    toolSide.push_back(100.0 * (r.split.toolWrite + r.split.toolBetween) / floor);
    shared.push_back(100.0 * r.split.lastByteAndWake / floor);
  }
  if (repeat > 1) {
    std::printf(
        "median of %d runs: %.3f s, %.3f%% over the floor, tool cpu %.3f s; of the floor, beyond "
        "it: the simulator's lateness %.3f%%, the tool's own work %.3f%%, last bytes late and the "
        "tool's read wake-ups %.3f%%\n",
        repeat, Median(seconds), Median(over), Median(cpu), Median(simSide), Median(toolSide),
        Median(shared));
  }
  return 0;
}
