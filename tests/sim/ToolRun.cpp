#include "tests/sim/ToolRun.h"

#include "link/HeadCommands.h"

bool ToolRunResult::Showed(std::string_view line) const {
  return std::any_of(history.begin(), history.end(), [line](const auto& lines) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  });
}

std::size_t ToolRunResult::FramesWith(std::uint8_t command) const {
  return static_cast<std::size_t>(std::count_if(sent.begin(), sent.end(), [command](const auto& m) {
    return m.size() >= 3 && m[0] == head::kFrameLead && m[2] == command;
  }));
}

ToolRun::ToolRun(PortLink& port, std::function<void()> runStarting)
    : port_(port), model_(port_, bell_, clock_, pump_) {
  model_.Controller.SetRunStarting(std::move(runStarting));
  model_.Log.SetObserver([this] { history_.push_back(model_.Log.Lines()); });
}

ToolRunResult ToolRun::Run() {
  port_.sent.clear();
  history_.clear();
  bell_.rings = 0;
  RunController& controller = model_.Controller;
  controller.BtnStartClick();
  while (controller.AdjResult == 1 && controller.View().btnStart.enabled) {
    controller.BtnStartClick();
  }
  ToolRunResult result;
  result.lastStage = controller.AdjStage;
  result.adjResult = controller.AdjResult;
  result.log = model_.Log.Lines();
  result.history = history_;
  result.record = model_.Record;
  result.bells = bell_.rings;
  result.sent = port_.sent;
  controller.BtnCancelClick();  // Complete or Cancel: back to idle
  return result;
}
