#include "adjust/WaitSeconds.h"

#include <gtest/gtest.h>

#include "tests/support/CpuTime.h"
#include "tests/support/FakeClock.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// 1'700'000'000 s is a whole minute (second 20 of it), so offsets give chosen seconds.
Clock::WallTime At(int secondOfMinute, milliseconds intoSecond) {
  return Clock::WallTime(std::chrono::seconds(1'700'000'000 - 20 + secondOfMinute)) + intoSecond;
}

class CountingPump final : public IdlePump {
 public:
  explicit CountingPump(FakeClock& clock) : clock_(clock) {}
  void Pump() override { times.push_back(clock_.Monotonic()); }
  std::vector<Clock::MonotonicTime> times;

 private:
  FakeClock& clock_;
};

struct WaitCase {
  int second;
  milliseconds into;
  std::uint8_t n;
  milliseconds waited;
};

class WaitSecondsCases : public testing::TestWithParam<WaitCase> {};

std::string WaitCaseName(const testing::TestParamInfo<WaitCase>& param) {
  return "At" + std::to_string(param.param.second) + "s" +
         std::to_string(param.param.into.count()) + "msWait" + std::to_string(param.param.n);
}

TEST_P(WaitSecondsCases, EndsWhenTheSecondHasAdvancedByN) {
  FakeClock clock(At(GetParam().second, GetParam().into));
  NoIdlePump pump;
  WaitSeconds(clock, pump, GetParam().n);
  EXPECT_EQ(clock.Elapsed(), GetParam().waited);
  const LocalTime end = clock.Now();
  EXPECT_EQ(end.second, (GetParam().second + GetParam().n) % 60);
}

INSTANTIATE_TEST_SUITE_P(WaitSeconds, WaitSecondsCases,
                         testing::Values(WaitCase{10, 0ms, 6, 6000ms},
                                         WaitCase{10, 999ms, 6, 5001ms},
                                         WaitCase{57, 300ms, 6, 5700ms},  // into the next minute
                                         WaitCase{48, 500ms, 11, 10500ms},
                                         WaitCase{30, 400ms, 0, 0ms}),
                         WaitCaseName);

TEST(WaitSeconds, PumpsTheWindowThroughoutTheWait) {
  FakeClock clock(At(0, 0ms));
  CountingPump pump(clock);
  WaitSeconds(clock, pump, 11);
  ASSERT_GE(pump.times.size(), 11u * 20u);
  EXPECT_EQ(pump.times.front(), Clock::MonotonicTime{});
  for (std::size_t i = 1; i < pump.times.size(); ++i) {
    EXPECT_LE(pump.times[i] - pump.times[i - 1], 50ms);
  }
}

TEST(WaitSeconds, AWallClockJumpNeitherShortensNorStretchesTheWait) {
  for (const auto jump : {std::chrono::nanoseconds(-1h), std::chrono::nanoseconds(1h),
                          std::chrono::nanoseconds(30s)}) {
    FakeClock clock(At(10, 0ms));
    bool jumped = false;
    clock.onSleep = [&] {
      if (!jumped) clock.JumpWall(jump);
      jumped = true;
    };
    NoIdlePump pump;
    WaitSeconds(clock, pump, 6);
    EXPECT_EQ(clock.Elapsed(), 6s);
  }
}

TEST(WaitSeconds, TheSystemClockSleepsUntilTheNextSecondsHaveBegun) {
  SystemClock clock;
  NoIdlePump pump;
  const auto wallStart = clock.Wall();
  const auto startSecond = std::chrono::floor<std::chrono::seconds>(wallStart);
  const double cpuStart = CpuSeconds();
  WaitSeconds(clock, pump, 1);
  const auto wallEnd = clock.Wall();
  // Never before the second s0 + 1 has begun, and not much after it.
  EXPECT_GE(wallEnd, startSecond + 1s);
  EXPECT_LT(wallEnd, startSecond + 1s + 200ms);
  // Sleeping, not spinning: a busy wait would burn the whole second.
  EXPECT_LT(CpuSeconds() - cpuStart, 0.2);
}

}  // namespace
