#pragma once

// Whole adjustment runs by the tool's own run controller and steps, over any port: the
// simulated head's engine directly, or the real port driver on a pseudo-terminal. The clock is a
// fake, so the motor check's waits take no time.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/PortLink.h"
#include "run/MainFormModel.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Recorders.h"

struct ToolRunResult {
  std::size_t lastStage = 0;
  StepResult adjResult = 0;  // 162 completed, 0 failed
  std::vector<std::string> log;
  std::vector<std::vector<std::string>> history;  // every state the log went through
  AdjustmentRecord record;
  int bells = 0;
  std::vector<std::vector<std::uint8_t>> sent;  // the tool's messages

  bool completed() const { return adjResult == kRunCompleted; }
  // True when some state of the log held this line.
  bool Showed(std::string_view line) const;
  std::size_t FramesWith(std::uint8_t command) const;
};

class ToolRun {
 public:
  // runStarting, when given, is called as each run begins, as the program's settings model is.
  explicit ToolRun(PortLink& port, std::function<void()> runStarting = {});

  // Start, then Next while the run waits for it, until it completes or fails; then Complete or
  // Cancel, back to idle, ready for the next run.
  ToolRunResult Run();

 private:
  class Recording final : public PortLink {
   public:
    explicit Recording(PortLink& inner) : inner_(inner) {}
    bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
      sent.emplace_back(bytes, bytes + count);
      return inner_.WritePort(count, bytes);
    }
    std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
      return inner_.ReadPort(count, buffer);
    }
    std::vector<std::vector<std::uint8_t>> sent;

   private:
    PortLink& inner_;
  };

  Recording port_;
  CountingBell bell_;
  FakeClock clock_;
  NoIdlePump pump_;
  MainFormModel model_;
  std::vector<std::vector<std::string>> history_;
};
