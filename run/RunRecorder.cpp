#include "run/RunRecorder.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "link/ComPortPath.h"
#include "link/PortDriver.h"
#include "run/RunFiles.h"
#include "run/RunReport.h"
#include "run/RunsIndex.h"

RunRecorder::RunRecorder(MainFormModel& model, std::filesystem::path folder,
                         PortDescription describePort, MessageBoxes& boxes)
    : model_(model),
      folder_(std::move(folder)),
      describePort_(std::move(describePort)),
      boxes_(boxes),
      ticket_(model.Progress.Subscribe([this](const ProgressReport& r) { Watch(r); })) {
  model_.Controller.SetRunObserver(this);
}

RunRecorder::~RunRecorder() {
  model_.Controller.SetRunObserver(nullptr);
  model_.Progress.Unsubscribe(ticket_);
}

void RunRecorder::RunStarted() {
  facts_ = RunFacts{};
  facts_.started = StampOf(model_.Context.clock.Wall());
  if (describePort_) facts_.port = describePort_();
  running_ = true;
}

void RunRecorder::Watch(const ProgressReport& report) {
  if (!running_) return;
  StepSeen& seen = facts_.steps[report.step];
  seen.count = std::max(seen.count, report.count);
  seen.verdict = seen.verdict || report.verdict;

  const AdjustmentRecord& record = model_.Record;
  if (report.step == ProgressStep::kReadHeadData && report.count == 1) {
    HeadDataFacts read;
    read.storedData = !record.HeadHeldNoData;
    read.ModelCode = record.ModelCode;
    read.AdjustDate = record.AdjustDate;
    read.HeadIdField = record.HeadIdField;
    read.ProgramVersion = record.ProgramVersion;
    read.CheckWord = static_cast<std::uint16_t>(record.CheckWord & 0xFFFFu);
    facts_.headData = read;
  }
  if (report.step == ProgressStep::kMotorSpeedCheck && report.value) {
    facts_.motorSpeeds.push_back(*report.value);
  }
  if (report.step == ProgressStep::kDaAdjustment && !report.channels.empty()) {
    facts_.whitePaperLevels.clear();
    for (const ChannelReading& channel : report.channels) {
      facts_.whitePaperLevels.push_back(channel.level);
    }
  }
}

void RunRecorder::RunEnded(const RunEnding& ending) {
  if (!running_) return;
  running_ = false;
  std::string problem;
  try {
    facts_.ended = StampOf(model_.Context.clock.Wall());
    facts_.record = model_.Record;
    facts_.ending = ending;
    facts_.log = model_.Log.Lines();
    problem = Write(facts_);
  } catch (const std::exception& error) {
    problem = error.what();
  } catch (...) {
    problem = "unknown error";
  }
  if (!problem.empty()) boxes_.ShowExclamation(RecordFailedText(problem), kRecordFailedCaption);
}

std::string RunRecorder::Write(const RunFacts& facts) {
  std::string problems;
  const auto note = [&problems](const std::string& problem) {
    problems += (problems.empty() ? "" : "\n") + problem;
  };
  std::string problem;
  const std::string text = RecordText(facts);
  const std::optional<std::string> name =
      WriteNewRecordFile(folder_, RecordFileStem(facts), text, problem);
  if (!name) note(problem);
  // The history keeps the run even when its record file could not be written.
  if (!AppendHistoryLine(folder_ / kHistoryFileName, HistoryHeader(),
                         HistoryLine(facts, name.value_or("")), problem)) {
    note(problem);
  }
  if (!name) return problems;
  if (WriteReportFile(folder_, *name, text, problem)) {
    if (tellReport_) tellReport_(folder_ / ReportFileName(*name), facts.ending);
  } else {
    note(problem);
  }
  if (!WriteRunsIndex(folder_, problem)) note(problem);
  return problems;
}

PortFacts DescribePort(const PortDriver& driver) {
  PortFacts port;
  port.name = driver.PortName;
  port.device = DevicePathFor(driver.PortName);
  port.open = driver.PortOpen;
  if (driver.PortOpen) {
    port.line =
        LineFacts{driver.Dcb.BaudRate, driver.Dcb.ByteSize, driver.Dcb.Parity, driver.Dcb.StopBits};
  }
  return port;
}

PortFacts DescribePort(const PortDriver& driver, const ComPortMap& ports) {
  PortFacts port = DescribePort(driver);
  port.device = ports.DevicePathFor(driver.PortName);
  return port;
}

std::string RecordFailedText(const std::string& problem) {
  return "The record of this run could not be written.\n" + problem +
         "\nThe run and the head are not affected.";
}
