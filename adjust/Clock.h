#pragma once

#include <chrono>

// Calendar time of the computer's local clock.
struct LocalTime {
  int year = 0;   // e.g. 2007
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

// Time as the steps see it: a monotonic clock to wait on, and the wall clock for the phase of a
// timed wait and for the date stamp written to the head.
class Clock {
 public:
  using MonotonicTime = std::chrono::steady_clock::time_point;
  using WallTime = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;

  virtual MonotonicTime Monotonic() = 0;
  // Sleeps until the deadline or a little earlier; callers loop until it has passed.
  virtual void SleepUntil(MonotonicTime deadline) = 0;
  virtual WallTime Wall() = 0;
  virtual LocalTime Now() = 0;
};

// The computer's clocks. Sleeps, never spins.
class SystemClock final : public Clock {
 public:
  MonotonicTime Monotonic() override;
  void SleepUntil(MonotonicTime deadline) override;
  WallTime Wall() override;
  LocalTime Now() override;
};
