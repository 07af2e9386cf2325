#pragma once

#include "adjust/AdjustmentRecord.h"
#include "adjust/OperatorLog.h"
#include "adjust/StepContext.h"
#include "link/IdlePump.h"
#include "tests/adjust/ScriptedPort.h"
#include "tests/support/FakeClock.h"

// Everything a step needs, with a scripted head and a clock that does not wait.
struct StepFixture {
  AdjustmentRecord record;
  OperatorLog log;
  ScriptedPort port;
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  NoProgress progress;
  StepContext context{record, log, port, bell, clock, pump, progress};
};

inline const Bytes kAckOnly{0x06};
inline const Bytes kEnqOnly{0x05};
