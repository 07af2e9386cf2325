#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/OperatorLog.h"
#include "adjust/StageTable.h"
#include "adjust/StepResult.h"
#include "link/BellOutput.h"
#include "link/PortLink.h"

// What the main window shows of the run, and nothing else: the window mirrors it.
struct ButtonView {
  std::string caption;
  bool enabled = true;
};

struct RunView {
  ButtonView btnStart{"Start", true};
  bool btnStartBusy = false;  // hourglass pointer on BtnStart while a stage runs from it
  ButtonView btnCancel{"Exit", true};
  bool start1Enabled = true;
  std::array<bool, 4> itemEnabled{true, true, true, true};  // MotorTest, WhiteAdj, BlackAdj, NonAdj
  bool closeRequested = false;                              // BtnCancel clicked as "Exit"
};

// Indices into RunView::itemEnabled.
enum ItemLabel : std::size_t { kMotorTest = 0, kWhiteAdj = 1, kBlackAdj = 2, kNonAdj = 3 };

// How a run ended: its last stage failed or completed the run, the technician abandoned it at a
// prompt, or the main window closed while it waited for Next.
enum class RunEnd : std::uint8_t { kCompleted, kFailed, kAbandoned, kWindowClosed };

struct RunEnding {
  RunEnd how = RunEnd::kFailed;
  std::uint8_t lastStage = 0;  // the stage that ran last, 0 to 4
  StepResult lastResult = 0;   // that stage's result
};

// Told when a run begins and when it is over, for whoever keeps a record of runs. The end comes
// after the run's last lines are in the log and its last command has gone to the head.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void RunStarted() = 0;
  virtual void RunEnded(const RunEnding& ending) = 0;
};

// Leads the technician through one adjustment run: Start, Next, Cancel, Complete and Exit, the
// prompts between the stages, and the command that tells the head a stage failed.
class RunController {
 public:
  RunController(OperatorLog& log, PortLink& port, BellOutput& bell, StageTable stages);

  void BtnStartClick();
  void BtnCancelClick();
  void Start1Click();
  // The main window is closing: a run that waits for Next ends here.
  void WindowClosing();

  std::uint8_t AdjResult = 1;  // 1 ready, 0 last stage failed, 162 completed or abandoned
  std::uint8_t AdjStage = 0;   // the stage that ran last
  bool StartPending = true;
  bool CancelMode = false;
  bool ExitMode = true;

  const RunView& View() const { return view_; }
  // Called after every change of View().
  void SetViewObserver(std::function<void()> onChange);
  // Null to stop telling.
  void SetRunObserver(RunObserver* observer) { runObserver_ = observer; }
  // Called as a run begins, before its first exchange and before the run observer hears of it:
  // where the program is wired, the port makes sure of its line here.
  void SetRunStarting(std::function<void()> hook) { runStarting_ = std::move(hook); }

  // Replaces the operations of one stage (the window's tests put stand-in stages here).
  void SetStage(std::size_t stage, std::vector<StageOperation> operations);

 private:
  StepResult RunStage(std::size_t stage);
  void ShowStageSucceeded(std::size_t stage);
  void ShowStageEnded(StepResult result, std::string_view cancelLine);
  void ResetToIdle();
  void AbandonRun();
  void BeginRun();
  void ViewChanged();
  void EndRun(RunEnd how);

  OperatorLog& log_;
  PortLink& port_;
  BellOutput& bell_;
  StageTable stages_;
  RunView view_;
  std::function<void()> onViewChange_;
  bool running_ = false;  // a stage is running; clicks meanwhile are not answers to a prompt
  RunObserver* runObserver_ = nullptr;
  std::function<void()> runStarting_;
  bool runOpen_ = false;  // begun and not yet ended
  StepResult lastResult_ = kStepFailed;
};
