#include "adjust/OperatorLog.h"

#include <utility>

namespace {

constexpr std::string_view kLineBreak = "\r\n";
// The width of " Error sensor:", so that every listed name starts in the same column.
constexpr std::string_view kErrorSensorIndent = "              ";

}  // namespace

void OperatorLog::AddLine(std::string_view text) {
  for (;;) {
    const auto breakAt = text.find(kLineBreak);
    if (breakAt == std::string_view::npos) break;
    AddSingleLine(text.substr(0, breakAt));
    text.remove_prefix(breakAt + kLineBreak.size());
  }
  AddSingleLine(text);
  Changed();
}

void OperatorLog::ClearLog() {
  lines_.clear();
  Changed();
}

void OperatorLog::AppendToLastLine(std::string_view text) {
  if (lines_.empty()) {
    lines_.emplace_back(text);
  } else {
    lines_.back().append(text);
  }
  Changed();
}

StepResult OperatorLog::LogCommError() {
  lines_.clear();
  AddLine(" Communication error");
  return kStepFailed;
}

StepResult OperatorLog::LogAdjustError() {
  AddLine(" Adjustment error");
  return kAdjustmentFailed;
}

StepResult OperatorLog::LogBlackLevelError() {
  AddLine(" Black level error");
  return kAdjustmentFailed;
}

StepResult OperatorLog::LogFrontBackError() {
  AddLine(" FRONT/BACK sensor error");
  return kAdjustmentFailed;
}

void OperatorLog::ListErrorSensors(std::span<const std::string_view> names) {
  AddLine(" Error sensor:");
  int onThisLine = 0;
  for (const std::string_view name : names) {
    std::string entry(" ");
    entry.append(name);
    AppendToLastLine(entry);
    ++onThisLine;
    if (onThisLine > 2) {
      AddLine(kErrorSensorIndent);
      onThisLine = 0;
    }
  }
}

void OperatorLog::SetObserver(std::function<void()> onChange) {
  onChange_ = std::move(onChange);
}

void OperatorLog::AddSingleLine(std::string_view text) {
  lines_.emplace_back(text);
}

void OperatorLog::Changed() {
  if (onChange_) onChange_();
}
