// How fast the simulated head serves: whole adjustment runs through the engine alone and through
// the qzr71-headsim program on a pseudo-terminal, the round trip of one reading, and how long a
// run's bytes would take on a real line. Prints numbers; judges nothing.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "bench/CountingLink.h"
#include "link/PortDriver.h"
#include "link/Primitives.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "sim/HeadEngine.h"
#include "tests/sim/EngineLink.h"
#include "tests/sim/ToolRun.h"
#include "tests/support/HeadSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The port's boxes (a missing settings file) do not matter to the measurement.
class NoBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string&, const std::string&) override {}
};

void EngineRuns() {
  constexpr int kRuns = 200;
  std::size_t sent = 0, received = 0, messages = 0;
  const auto start = Clock::now();
  for (int i = 0; i < kRuns; ++i) {
    sim::HeadEngine engine(sim::Scenario{}, sim::FactoryBlock(sim::MakeUnit(1)),
                           static_cast<std::uint64_t>(i));
    EngineLink link(engine);
    CountingLink counted(link);
    ToolRun run(counted);
    if (!run.Run().completed()) std::fprintf(stderr, "run %d failed\n", i);
    sent += counted.sent, received += counted.received, messages += counted.messages;
  }
  const double elapsed = Seconds(Clock::now() - start);
  std::printf("engine: %d whole runs in %.3f s: %.0f runs/s, %.2f us per message\n", kRuns, elapsed,
              kRuns / elapsed, 1e6 * elapsed / static_cast<double>(messages));
  const double bytes = static_cast<double>(sent + received) / kRuns;
  std::printf("per run: %zu messages, %zu bytes to the head, %zu from it\n", messages / kRuns,
              sent / kRuns, received / kRuns);
  for (const int baud : {2400, 9600, 19200}) {
    std::printf("  on the wire at %5d baud: %.1f s (8E1), %.1f s (8E2)\n", baud, bytes * 11 / baud,
                bytes * 12 / baud);
  }
}

void PtyRuns() {
  HeadSimulator sim({"--seed", "1"});
  const std::string device = sim.NextLine();
  const auto dir = std::filesystem::temp_directory_path() / "qzr71-sim-bench";
  std::filesystem::create_directories(dir);
  TermiosSerialDevice serial;
  NoBoxes boxes;
  PortDriver driver(serial);
  PortSettingsModel settings(driver, boxes, dir / "comm.ini");
  ::setenv("QZR71_COM1", device.c_str(), 1);
  settings.FormCreate();
  if (!driver.IsOpen()) return;

  constexpr int kRuns = 5;
  int bells = 0;
  ToolRun run(driver, [&settings] { settings.RunStarting(); });
  const auto start = Clock::now();
  for (int i = 0; i < kRuns; ++i) {
    const ToolRunResult result = run.Run();
    if (!result.completed()) std::fprintf(stderr, "pty run %d did not complete\n", i);
    bells += result.bells;
  }
  std::printf("pty: %d whole runs through qzr71-headsim: %.3f s per run, %d bells\n", kRuns,
              Seconds(Clock::now() - start) / kRuns, bells);

  constexpr int kSamples = 2000;
  std::vector<double> micros;
  CountingBell bell;
  std::array<std::uint8_t, 40> reply{};
  SendCommand(driver, bell, head::kCmdTakeReading);
  for (int i = 0; i < kSamples; ++i) {
    const auto t0 = Clock::now();
    QueryReply(driver, bell, 40, reply.data(), 1, &head::kEnq);
    micros.push_back(1e6 * Seconds(Clock::now() - t0));
  }
  std::sort(micros.begin(), micros.end());
  std::printf(
      "pty: ENQ -> 40-byte reading, %d samples: min %.0f us, median %.0f us, p99 %.0f us, "
      "max %.0f us, %d bells\n",
      kSamples, micros.front(), micros[kSamples / 2], micros[kSamples * 99 / 100], micros.back(),
      bell.rings);
  sim.Stop();
  std::filesystem::remove_all(dir);
}

}  // namespace

int main() {
  EngineRuns();
  PtyRuns();
  return 0;
}
