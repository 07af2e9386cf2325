#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

#include "adjust/Clock.h"

// A clock whose sleeps return at once, moving its time on. The wall clock follows the monotonic
// one from a chosen start, plus any jump a test makes (as NTP would).
class FakeClock final : public Clock {
 public:
  explicit FakeClock(WallTime wallStart = WallTime(std::chrono::seconds(1'700'000'000)))
      : wallStart_(wallStart) {}

  MonotonicTime Monotonic() override { return monotonic_; }

  void SleepUntil(MonotonicTime deadline) override {
    if (deadline > monotonic_) monotonic_ = deadline;
    sleeps.push_back(monotonic_);
    if (onSleep) onSleep();
  }

  WallTime Wall() override {
    return wallStart_ + std::chrono::duration_cast<WallTime::duration>(Elapsed()) + wallJump_;
  }

  LocalTime Now() override {
    const std::time_t now = std::chrono::system_clock::to_time_t(Wall());
    std::tm utc{};
    gmtime_r(&now, &utc);
    return LocalTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                     utc.tm_hour,        utc.tm_min,     utc.tm_sec};
  }

  void JumpWall(std::chrono::nanoseconds by) { wallJump_ += by; }
  std::chrono::nanoseconds Elapsed() const { return monotonic_ - MonotonicTime{}; }

  std::vector<MonotonicTime> sleeps;  // the time after each sleep
  std::function<void()> onSleep;

 private:
  MonotonicTime monotonic_{};
  WallTime wallStart_;
  std::chrono::nanoseconds wallJump_{0};
};
