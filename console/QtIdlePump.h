#pragma once

#include "link/IdlePump.h"

class InputBlocker;

// Lets the windows repaint while the tool waits for the head or in a timed wait. User input that
// arrives meanwhile is discarded by the blocker, never queued for later.
class QtIdlePump final : public IdlePump {
 public:
  explicit QtIdlePump(InputBlocker& blocker) : blocker_(blocker) {}
  void Pump() override;

 private:
  InputBlocker& blocker_;
};
