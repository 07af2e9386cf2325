#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "records/RunFiles.h"
#include "records/RunRecord.h"
#include "run/MainFormModel.h"
#include "run/MessageBoxes.h"
#include "run/RunController.h"

// What the end of a run wrote into the runs folder, and what it could not.
struct RecordOutcome {
  bool recordWritten = false;        // the run's JSON record, the source of all else
  std::vector<std::string> written;  // each file written, as a path
  std::vector<std::string> failed;   // each file not written, with its reason
};

// Keeps a record of every run: watches the run controller for the start and the end of a run,
// and the steps' progress for what the record alone does not keep (the three motor speeds, what
// stage 0 read, how far each step got). At the end it writes the run's record file and its line
// of the history into the runs folder, the run's report page beside its record, and the folder's
// index anew; with them the lines and pages earlier runs could not write (RecordCompletion.h).
// A record that cannot be written changes nothing in the run, the head or the log: one message
// box says what was written and what not, once the run has ended.
class RunRecorder final : public RunObserver {
 public:
  // Asked at each run's start for the port the run goes through; the program passes the port as
  // it is open (DescribePort, run/PortFacts.h), and the recorder reads nothing of the port itself.
  using PortDescription = std::function<PortFacts()>;

  RunRecorder(MainFormModel& model, std::filesystem::path folder, PortDescription describePort,
              MessageBoxes& boxes, RecordDisk& disk = LocalDisk());
  ~RunRecorder() override;
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  void RunStarted() override;
  void RunEnded(const RunEnding& ending) override;

  const std::filesystem::path& Folder() const { return folder_; }
  // Told the report page of each run once it is written.
  using ReportWritten = std::function<void(const std::filesystem::path&, const RunEnding&)>;
  void TellReports(ReportWritten tell) { tellReport_ = std::move(tell); }

 private:
  void Watch(const ProgressReport& report);
  void Write(const RunFacts& facts, RecordOutcome& outcome);

  MainFormModel& model_;
  std::filesystem::path folder_;
  PortDescription describePort_;
  MessageBoxes& boxes_;
  RecordDisk& disk_;
  std::size_t ticket_;
  bool running_ = false;
  RunFacts facts_;
  ReportWritten tellReport_;
};

// The caption and text of the box that says what of a record was not written.
inline constexpr const char* kRecordFailedCaption = "WRITE FILE";
std::string RecordFailedText(const RecordOutcome& outcome);
