#include <cerrno>
#include <ctime>

#include "adjust/Clock.h"

Clock::MonotonicTime SystemClock::Monotonic() {
  return std::chrono::steady_clock::now();
}

void SystemClock::SleepUntil(MonotonicTime deadline) {
  // steady_clock is CLOCK_MONOTONIC; an absolute deadline survives signals without drifting.
  const auto sinceEpoch = deadline.time_since_epoch();
  const auto secs = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  timespec until{};
  until.tv_sec = static_cast<std::time_t>(secs.count());
  until.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - secs).count());
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

Clock::WallTime SystemClock::Wall() {
  return std::chrono::system_clock::now();
}

LocalTime SystemClock::Now() {
  const std::time_t now = std::chrono::system_clock::to_time_t(Wall());
  std::tm local{};
  localtime_r(&now, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}
