#include "adjust/WaitSeconds.h"

#include <algorithm>

namespace {

// Often enough for the window to repaint smoothly.
constexpr auto kPumpInterval = std::chrono::milliseconds(50);

}  // namespace

void WaitSeconds(Clock& clock, IdlePump& pump, std::uint8_t n,
                 const std::function<void(double secondsLeft)>& onTick) {
  using namespace std::chrono;
  // The wall clock is read first, so the monotonic deadline errs late, never early.
  const auto sinceEpoch = clock.Wall().time_since_epoch();
  const auto intoSecond = sinceEpoch - floor<seconds>(sinceEpoch);
  const Clock::MonotonicTime deadline =
      clock.Monotonic() + duration_cast<Clock::MonotonicTime::duration>(seconds(n) - intoSecond);
  for (;;) {
    const Clock::MonotonicTime now = clock.Monotonic();
    if (now >= deadline) return;
    if (onTick) onTick(duration<double>(deadline - now).count());
    pump.Pump();
    clock.SleepUntil(std::min(deadline, now + kPumpInterval));
  }
}
