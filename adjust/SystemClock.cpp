#include <ctime>
#include <thread>

#include "adjust/Clock.h"

Clock::MonotonicTime SystemClock::Monotonic() {
  return std::chrono::steady_clock::now();
}

void SystemClock::SleepUntil(MonotonicTime deadline) {
  // The standard library's sleep, not clock_nanosleep: MinGW's refuses the monotonic clock at
  // once, and the waits would then spin.
  std::this_thread::sleep_until(deadline);
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
