#include "records/RunRecorder.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "records/PageParts.h"
#include "records/RecordCompletion.h"
#include "records/RunFiles.h"
#include "records/RunReport.h"
#include "records/RunsIndex.h"

RunRecorder::RunRecorder(MainFormModel& model, std::filesystem::path folder,
                         PortDescription describePort, MessageBoxes& boxes, RecordDisk& disk)
    : model_(model),
      folder_(std::move(folder)),
      describePort_(std::move(describePort)),
      boxes_(boxes),
      disk_(disk),
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
  RecordOutcome outcome;
  try {
    facts_.ended = StampOf(model_.Context.clock.Wall());
    facts_.record = model_.Record;
    facts_.ending = ending;
    facts_.log = model_.Log.Lines();
    Write(facts_, outcome);
  } catch (const std::exception& error) {
    outcome.failed.emplace_back(error.what());
  } catch (...) {
    outcome.failed.emplace_back("unknown error");
  }
  if (!outcome.failed.empty()) {
    boxes_.ShowExclamation(RecordFailedText(outcome), kRecordFailedCaption);
  }
}

void RunRecorder::Write(const RunFacts& facts, RecordOutcome& outcome) {
  std::string problem;
  const auto tell = [&outcome, &problem](bool written, const std::filesystem::path& file) {
    if (written) {
      outcome.written.push_back(page::PathText(file));
    } else {
      outcome.failed.push_back(problem);
    }
    return written;
  };
  const std::string text = RecordText(facts);
  // The line and the page are made from the record as read back, as they are for a record whose
  // line or page an earlier run could not write.
  const std::optional<RecordedRun> run = ReadRecordedRun(text, problem);
  if (!run) throw std::logic_error("the record of the run cannot be read back: " + problem);
  const std::optional<std::string> name =
      WriteNewRecordFile(folder_, RecordFileStem(facts), text, problem, disk_);
  outcome.recordWritten = tell(name.has_value(), folder_ / name.value_or(""));

  // The folder as it is now, the run's own record in it, serves the history, the pages and the
  // index; when it cannot be listed, the history still keeps the run.
  std::string unlisted;
  std::optional<std::vector<IndexedRecord>> records = ReadRecordsOf(folder_, unlisted);
  const std::filesystem::path history = folder_ / kHistoryFileName;
  tell(AppendRunToHistory(history, records.value_or(std::vector<IndexedRecord>{}),
                          name.value_or(""), HistoryLine(*run, name.value_or("")), problem, disk_),
       history);
  if (!name) return;

  const std::filesystem::path report = folder_ / page::PathOf(ReportFileName(*name));
  const bool reported = tell(WriteReportFile(folder_, *name, *run, problem, disk_), report);
  if (reported && tellReport_) tellReport_(report, facts.ending);
  if (!records) {
    outcome.failed.push_back(unlisted);
    return;
  }
  for (IndexedRecord& record : *records) {
    if (record.file == *name) record.hasReport = reported;
  }
  // Where the run's own page could not be written, earlier ones would fail alike.
  if (reported && !WriteMissingReports(folder_, *records, problem, disk_)) {
    outcome.failed.push_back(problem);
  }
  tell(WriteIndexFile(folder_, *records, problem, disk_), folder_ / kIndexFileName);
}

std::string RecordFailedText(const RecordOutcome& outcome) {
  std::string text = outcome.recordWritten
                         ? "The record of this run was written, but not all that goes with it."
                         : "The record of this run could not be written.";
  if (!outcome.written.empty()) text += "\nWritten:";
  for (const std::string& file : outcome.written) text += "\n" + file;
  text += "\nNot written:";
  for (const std::string& problem : outcome.failed) text += "\n" + problem;
  if (outcome.recordWritten) {
    text += "\nWhat is missing is made from the record at the end of a later run.";
  }
  return text + "\nThe run and the head are not affected.";
}
