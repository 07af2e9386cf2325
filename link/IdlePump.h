#pragma once

// Called while the tool waits (for the head's answer, or in a timed wait of a step) so that the
// window can repaint. The window's pump discards user input given meanwhile.
class IdlePump {
 public:
  virtual ~IdlePump() = default;
  virtual void Pump() = 0;
};

class NoIdlePump final : public IdlePump {
 public:
  void Pump() override {}
};
