#pragma once

#include <cstdint>
#include <functional>

#include "adjust/Clock.h"
#include "link/IdlePump.h"

// Waits until the local clock's second has advanced by n (n below 60) from the second in which
// the wait began: between n - 1 and n seconds, as the sub-second part of the start is ignored.
// The end is measured on the monotonic clock, so a wall-clock jump meanwhile neither cuts the
// wait short nor stretches it. The pump runs at least every 50 ms, and so does onTick, when
// given, with the seconds left.
void WaitSeconds(Clock& clock, IdlePump& pump, std::uint8_t n,
                 const std::function<void(double secondsLeft)>& onTick = {});
