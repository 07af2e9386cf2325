#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "adjust/Clock.h"

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

  // The floor of the run's timed waits from the given one on, in seconds: the motor check's four
  // waits of 6, 11, 11 and 11 s, each less where in its second it began.
  double WaitedSince(std::size_t first) const {
    static constexpr double kWaitLengths[] = {6, 11, 11, 11};
    double waits = 0;
    for (std::size_t i = first; i < phases.size() && i < 4; ++i)
      waits += kWaitLengths[i] - phases[i];
    return waits;
  }

  std::vector<double> phases;

 private:
  Clock& inner_;
};
