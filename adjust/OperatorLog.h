#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/StepResult.h"

// The read-only log under the adjustment items: progress, readings, results and the prompts of
// the run. A plain list of lines; the window mirrors it through the observer.
class OperatorLog {
 public:
  // Adds the text as a new last line. A CR LF inside the text starts a new line at that point,
  // so "A\r\n" adds "A" and an empty line.
  void AddLine(std::string_view text);
  void ClearLog();
  // The last line becomes its old text followed by the given text (a new line on an empty log).
  void AppendToLastLine(std::string_view text);

  // The fixed error lines. Only LogCommError clears the log first.
  StepResult LogCommError();        // " Communication error", returns kStepFailed
  StepResult LogAdjustError();      // " Adjustment error", returns kAdjustmentFailed
  StepResult LogBlackLevelError();  // " Black level error", returns kAdjustmentFailed
  StepResult LogFrontBackError();   // " FRONT/BACK sensor error", returns kAdjustmentFailed

  // " Error sensor:" and the names three to a line, each continuation line indented to the same
  // column. Names come in ascending channel order.
  void ListErrorSensors(std::span<const std::string_view> names);

  const std::vector<std::string>& Lines() const { return lines_; }

  // Called after every change.
  void SetObserver(std::function<void()> onChange);

 private:
  void AddSingleLine(std::string_view text);
  void Changed();

  std::vector<std::string> lines_;
  std::function<void()> onChange_;
};
