// How long a timed wait of the motor check really waits, how far past the wall clock's second it
// ends, and what it costs the processor while the window is pumped.
#include <chrono>
#include <cstdio>

#include "adjust/Clock.h"
#include "adjust/WaitSeconds.h"
#include "tests/support/CpuTime.h"

namespace {

struct CountingPump final : IdlePump {
  int pumps = 0;
  void Pump() override { ++pumps; }
};

}  // namespace

int main() {
  using namespace std::chrono;
  SystemClock clock;
  for (const std::uint8_t n : {std::uint8_t{1}, std::uint8_t{6}}) {
    CountingPump pump;
    const auto wallStart = clock.Wall();
    const auto start = clock.Monotonic();
    const double cpuStart = CpuSeconds();
    WaitSeconds(clock, pump, n);
    const auto end = clock.Monotonic();
    const auto wallEnd = clock.Wall();
    const double cpu = CpuSeconds() - cpuStart;
    const double waited = duration<double>(end - start).count();
    const auto target = floor<seconds>(wallStart) + seconds(n);
    std::printf(
        "WaitSeconds(%u): waited %.4f s, ended %.3f ms after the wall second, "
        "processor %.4f s (%.2f%% of a core), %d pumps\n",
        static_cast<unsigned>(n), waited, duration<double, std::milli>(wallEnd - target).count(),
        cpu, 100 * cpu / waited, pump.pumps);
  }
}
