#include "run/RunController.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "link/HeadCommands.h"
#include "link/Primitives.h"

namespace {

// Puts the pointer back on BtnStart however the stage ends, also when an error propagates.
class BusyPointer {
 public:
  BusyPointer(RunView& view, bool& running, const std::function<void()>& changed)
      : view_(view), running_(running), changed_(changed), remembered_(view.btnStartBusy) {
    view_.btnStartBusy = true;
    running_ = true;
  }
  ~BusyPointer() {
    view_.btnStartBusy = remembered_;
    running_ = false;
    if (changed_) changed_();
  }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  RunView& view_;
  bool& running_;
  const std::function<void()>& changed_;
  bool remembered_;
};

// A stage run from File > Start changes no pointer but is still not to be re-entered.
class RunningFlag {
 public:
  explicit RunningFlag(bool& running) : running_(running) { running_ = true; }
  ~RunningFlag() { running_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& running_;
};

}  // namespace

RunController::RunController(OperatorLog& log, PortLink& port, BellOutput& bell, StageTable stages)
    : log_(log), port_(port), bell_(bell), stages_(std::move(stages)) {}

void RunController::SetViewObserver(std::function<void()> onChange) {
  onViewChange_ = std::move(onChange);
}

void RunController::SetStage(std::size_t stage, std::vector<StageOperation> operations) {
  stages_.at(stage) = std::move(operations);
}

void RunController::ViewChanged() {
  if (onViewChange_) onViewChange_();
}

void RunController::BeginRun() {
  if (runStarting_) runStarting_();
  view_.start1Enabled = false;
  view_.btnStart.enabled = false;
  StartPending = false;
  view_.btnStart.caption = "Next";
  ExitMode = false;
  CancelMode = true;
  view_.btnCancel.caption = "Cancel";
  AdjStage = 0;
  runOpen_ = true;
  if (runObserver_) runObserver_->RunStarted();
}

void RunController::EndRun(RunEnd how) {
  runOpen_ = false;
  if (runObserver_) runObserver_->RunEnded({how, AdjStage, lastResult_});
}

void RunController::WindowClosing() {
  if (runOpen_) EndRun(RunEnd::kWindowClosed);
}

void RunController::BtnStartClick() {
  // A click that reaches a disabled button, or arrives while a stage runs, is not the
  // technician's answer to the prompt on screen.
  if (running_ || !view_.btnStart.enabled) return;
  StepResult result = kStepFailed;
  {
    BusyPointer busy(view_, running_, onViewChange_);
    if (StartPending) {
      BeginRun();
    } else {
      view_.btnStart.enabled = false;
      ++AdjStage;
    }
    view_.btnCancel.enabled = false;
    ViewChanged();

    result = RunStage(AdjStage);
    if (result == kStepSucceeded) ShowStageSucceeded(AdjStage);
  }

  if (result == kStepSucceeded) {
    view_.btnStart.enabled = true;
    view_.btnCancel.enabled = true;
    AdjResult = 1;
    ViewChanged();
    return;
  }
  ShowStageEnded(result, "  Push Cancel button.");
}

void RunController::Start1Click() {
  if (running_ || !view_.start1Enabled) return;
  {
    // The port's box may show while its line is opened again; nothing is to start meanwhile.
    RunningFlag starting(running_);
    BeginRun();
  }
  ViewChanged();

  StepResult result = kStepFailed;
  {
    RunningFlag running(running_);
    result = RunStage(0);
  }
  if (result == kStepSucceeded) {
    log_.ClearLog();
    log_.AddLine(" Set White reference paper.");
    log_.AddLine("");
    log_.AddLine("Hit Next button.");
    view_.btnStart.enabled = true;
    ViewChanged();
    return;
  }
  // Every result but 1 is a failure here, as the completion report never runs in stage 0.
  ShowStageEnded(kStepFailed, "  Push Cancel buttton.");
}

void RunController::BtnCancelClick() {
  if (running_ || !view_.btnCancel.enabled) return;
  bool abandoned = false;
  if (CancelMode && (AdjResult == kRunCompleted || AdjResult == kStepFailed)) {
    ResetToIdle();
  } else if (CancelMode && AdjResult == kStepSucceeded) {
    AbandonRun();
    abandoned = true;
  } else if (ExitMode) {
    view_.closeRequested = true;
  }
  view_.itemEnabled = {true, true, true, true};
  ViewChanged();
  if (abandoned) EndRun(RunEnd::kAbandoned);
}

StepResult RunController::RunStage(std::size_t stage) {
  if (stage >= stages_.size()) {
    throw std::logic_error("run controller: no stage " + std::to_string(stage) +
                           " (a stage 4 operation returned 1)");
  }
  const auto& operations = stages_[stage];
  if (operations.empty()) {
    throw std::logic_error("run controller: stage " + std::to_string(stage) + " has no steps");
  }
  // A stage left by an error counts as failed.
  lastResult_ = kStepFailed;
  StepResult result = kStepFailed;
  for (const auto& operation : operations) {
    result = operation();
    if (result != kStepSucceeded) break;
  }
  lastResult_ = result;
  return result;
}

void RunController::ShowStageSucceeded(std::size_t stage) {
  switch (stage) {
    case 0:
    case 1:
    case 2: {
      static constexpr std::array<std::string_view, 3> kPrompts{
          "Set White reference paper.", "Set Black reference paper.", "Pull out reference paper."};
      log_.ClearLog();
      log_.AddLine(kPrompts[stage]);
      log_.AddLine("");
      log_.AddLine("Hit Next button.");
      view_.itemEnabled[stage] = false;
      break;
    }
    case 3:
      // The question follows the lines of the non-paper item, which stay visible.
      log_.AddLine("Write the Adjustings to DURA RODA.");
      log_.AddLine("Hit Next or Cancel button.  Yes-->Next No-->Cancel");
      view_.itemEnabled[kNonAdj] = false;
      break;
    default:
      break;
  }
}

void RunController::ShowStageEnded(StepResult result, std::string_view cancelLine) {
  view_.btnCancel.enabled = true;
  if (result == kRunCompleted) {
    view_.btnCancel.caption = "Complete";
    log_.AddLine("");
    log_.AddLine("  Push Complete button");
    AdjResult = kRunCompleted;
    ViewChanged();
  } else {
    AdjResult = kStepFailed;
    log_.AddLine("");
    log_.AddLine(cancelLine);
    view_.btnStart.enabled = false;
    ViewChanged();
    // Tells the head the run is over; when the head is gone this fails too, unreported.
    SendCommand(port_, bell_, head::kCmdEndReading);
  }
  StartPending = true;
  view_.btnStart.caption = "Start";
  ViewChanged();
  EndRun(result == kRunCompleted ? RunEnd::kCompleted : RunEnd::kFailed);
}

void RunController::ResetToIdle() {
  AdjResult = 1;
  StartPending = true;
  view_.btnStart.caption = "Start";
  view_.btnStart.enabled = true;
  view_.start1Enabled = true;
  log_.ClearLog();
  log_.AddLine("Conect to PC with QZR-71.\r\n");
  log_.AddLine("Press Start-key. then check the Adjustment");
  log_.AddLine("Item 1, 2, 3 and 4 in that order.");
  ExitMode = true;
  CancelMode = false;
  view_.btnCancel.caption = "Exit";
  view_.btnCancel.enabled = true;
}

void RunController::AbandonRun() {
  log_.ClearLog();
  log_.AddLine(" This machine has not been completed the adjustment!!");
  log_.AddLine("\r\n  Push Cancel button");
  AdjResult = kRunCompleted;
  view_.btnStart.enabled = false;
  view_.start1Enabled = false;
}
