// A hostile head: whole runs by the tool's run controller, steps and exchange primitives against
// the simulated head's engine, in memory, with a fake clock, while the input decides which
// transmissions go wrong and how. Whatever the head does, the tool must:
//   - give every step and stage a result of 0, 1, 162 or 163;
//   - send no request more than four times in a row (the stored block: four fetches of four);
//   - never call a step good after one of its exchanges failed, and answer every failed exchange
//     with " Communication error" alone (the motor stop and 0xA6 at the end of the motor check
//     are the documented exceptions: their failure is ignored);
//   - call the check word good only when the head echoed it, and the block written only when the
//     head said "OK";
//   - write only the documented log lines.
//
// Input: byte 0 picks the head unit and the noise seed, byte 1 the technician's ways (bit 0: the
// head holds no stored data; bit 1: Cancel at the question after the non-paper item; bit 2: the
// run started from File > Start). Then faults, each: two bytes (little-endian) of transmissions
// answered as the head would, one byte of trouble (HostileHead.h, modulo 8), one byte n, then n
// bytes the trouble uses.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <unordered_set>
#include <vector>

#include "adjust/SensorTables.h"
#include "adjust/StageTable.h"
#include "fuzz/HostileHead.h"
#include "run/MainFormModel.h"
#include "sim/HeadEngine.h"
#include "sim/StoredData.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Recorders.h"

namespace {

using hostile::Bytes;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "hostile head: %s\n", what.c_str());
  std::abort();
}

// Every line a run may write, as the steps and the run controller word them.
class DocumentedLines {
 public:
  DocumentedLines() {
    std::string names;
    for (std::size_t channel = 0; channel < 24; ++channel) {
      if (!names.empty()) names += '|';
      names += SensorName(channel);
    }
    const std::string name = "(?:" + names + ")";
    formats_ = {
        std::regex(name + " \\d{3} ERROR OVER 4\\.3v"),
        std::regex("s0t_ir \\d{3} ERROR OVER 4\\.3v"),
        std::regex("s0t_ir \\d{3} GAIN OVER\\(limit 11\\)"),
        std::regex("\\d{1,4} Motor speed (?:ok|error)"),
        // The failed channels three to a line; the gain step check appends b0t_ir as a fourth.
        std::regex(" Error sensor:(?: " + name + "){0,4}"),
        std::regex(" {14}(?: " + name + "){0,4}"),
    };
  }

  bool Allows(const std::string& line) const {
    if (texts_.contains(line)) return true;
    for (const std::regex& format : formats_) {
      if (std::regex_match(line, format)) return true;
    }
    return false;
  }

 private:
  const std::unordered_set<std::string> texts_{
      // Headings.
      " ***** MOTOR SPEED CHECK *****",
      " ***** REGISTER check *****",
      " ***** Adjusting GAIN *****",
      " ***** Adjusting D/A *****",
      " ***** Black level check *****",
      " ****** Complete *****",
      // Results and errors.
      " Communication error",
      " Adjustment error",
      " Black level error",
      " FRONT/BACK sensor error",
      " Gain error",
      " Data Select Line error",
      " Error sensor: sot_ir",
      " ** Write OK **",
      " ** Write Fail **",
      "   Front level(No paper)",
      "   Exit level(No paper)",
      "   Front level(In paper)",
      "   Exit level(In paper)",
      // The run controller.
      "",
      " ",
      "Conect to PC with QZR-71.",
      "Press Start button. then check the Adjustment",
      "Press Start-key. then check the Adjustment",
      "Item 1, 2, 3 and 4 in that order.",
      "Set White reference paper.",
      " Set White reference paper.",
      "Set Black reference paper.",
      "Pull out reference paper.",
      "Hit Next button.",
      "Write the Adjustings to DURA RODA.",
      "Hit Next or Cancel button.  Yes-->Next No-->Cancel",
      "  Push Complete button",
      "  Push Cancel button.",
      "  Push Cancel buttton.",
      "  Push Cancel button",
      " This machine has not been completed the adjustment!!",
  };
  std::vector<std::regex> formats_;
};

struct Script {
  std::uint32_t unit = 1;
  std::uint64_t seed = 0;
  bool fresh = false;
  bool cancelAtQuestion = false;
  bool fromMenu = false;
  std::vector<hostile::Fault> faults;
};

Script Read(const std::uint8_t* data, std::size_t size) {
  Script script;
  if (size > 0) {
    script.unit = 1 + data[0] % 20u;
    script.seed = data[0];
  }
  if (size > 1) {
    script.fresh = (data[1] & 1) != 0;
    script.cancelAtQuestion = (data[1] & 2) != 0;
    script.fromMenu = (data[1] & 4) != 0;
  }
  for (std::size_t at = 2; at + 4 <= size;) {
    hostile::Fault fault;
    fault.skip = static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
    fault.trouble = static_cast<hostile::Trouble>(data[at + 2] % hostile::kTroubles);
    const std::size_t n = std::min<std::size_t>(data[at + 3], size - at - 4);
    fault.bytes.assign(data + at + 4, data + at + 4 + n);
    script.faults.push_back(std::move(fault));
    at += 4 + n;
  }
  return script;
}

bool SaysOk(const Bytes& answer) {
  return answer.size() == 2 && (answer[0] == 'O' || answer[0] == 'o') &&
         (answer[1] == 'K' || answer[1] == 'k');
}

// Judges each step as it returns.
class Referee {
 public:
  Referee(hostile::HostileHead& head, const OperatorLog& log) : head_(head), log_(log) {}

  StageTable Wrap(StageTable stages) {
    for (std::size_t stage = 0; stage < stages.size(); ++stage) {
      for (std::size_t step = 0; step < stages[stage].size(); ++step) {
        stages[stage][step] = [this, stage, step, operation = stages[stage][step]] {
          head_.ForgetRequest();
          head_.TakeFailures();
          const StepResult result = operation();
          if (std::getenv("QZR71_FUZZ_TELL")) {
            std::fprintf(stderr, "stage %zu step %zu ends after %zu transmissions\n", stage, step,
                         head_.Transmissions());
          }
          Judge(stage, step, result);
          if (result != kStepSucceeded) head_.ForgetRequest();  // the controller's 0xA6 follows
          return result;
        };
      }
    }
    return stages;
  }

 private:
  void Judge(std::size_t stage, std::size_t step, StepResult result) {
    const std::string where = "stage " + std::to_string(stage) + " step " + std::to_string(step);
    if (result != kStepFailed && result != kStepSucceeded && result != kRunCompleted &&
        result != kAdjustmentFailed) {
      Fail(where + " returned " + std::to_string(result));
    }
    if (head_.TooManyTransmissions()) Fail(where + ": a request went out more than four times");

    // The motor check ignores its closing motor stop and 0xA6: the run goes on without them.
    const bool motorCheck = stage == 0 && step == 1;
    const head::Frame stop = head::MotorStopFrame();
    std::size_t failures = 0;
    for (const Bytes& request : head_.TakeFailures()) {
      const bool ignored =
          motorCheck && (request == Bytes(stop.Bytes().begin(), stop.Bytes().end()) ||
                         request == Bytes{head::kCmdEndReading});
      if (!ignored) ++failures;
    }
    const bool commError = log_.Lines() == std::vector<std::string>{" Communication error"};
    if (failures > 0 && (result != kStepFailed || !commError)) {
      Fail(where + ": a failed exchange ended with result " + std::to_string(result) +
           " and without the communication error alone");
    }
    if (failures == 0 && commError) Fail(where + ": a communication error without a failure");

    if (stage == 3 && step == 1 && result == kStepSucceeded &&
        head_.CheckWordEcho() != head_.CheckWordSent()) {
      Fail("the check word was called good though the head echoed another");
    }
    if (stage == 4 && step == 0 && result == kStepSucceeded &&
        !SaysOk(head_.IdentificationAnswer())) {
      Fail("the block was called written though the head did not say OK");
    }
  }

  hostile::HostileHead& head_;
  const OperatorLog& log_;
};

void CheckLog(const OperatorLog& log) {
  static const DocumentedLines documented;
  for (const std::string& line : log.Lines()) {
    if (!documented.Allows(line)) Fail("an undocumented log line: '" + line + "'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Script script = Read(data, size);
  sim::Scenario scenario;
  scenario.unit = script.unit;
  std::optional<sim::HeadDataBlock> stored;
  if (!script.fresh) stored = sim::FactoryBlock(sim::MakeUnit(script.unit));
  sim::HeadEngine engine(scenario, stored, script.seed);
  hostile::HostileHead head(engine, script.faults);

  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  std::optional<Referee> referee;
  MainFormModel model(head, bell, clock, pump,
                      [&](StepContext& context) { return referee->Wrap(MakeStageTable(context)); });
  referee.emplace(head, model.Log);
  // The log changes at its end only, so its last line is the one to look at.
  model.Log.SetObserver([&model] {
    if (!model.Log.Lines().empty()) CheckLog(model.Log);
  });

  RunController& controller = model.Controller;
  if (script.fromMenu) {
    controller.Start1Click();
  } else {
    controller.BtnStartClick();
  }
  // Five stages at most: a sixth click means the controller lost its way.
  for (int clicks = 0; controller.AdjResult == 1 && controller.View().btnStart.enabled; ++clicks) {
    if (clicks > 4) Fail("the run asked for more than five stages");
    if (controller.AdjStage == 3 && script.cancelAtQuestion) break;
    controller.BtnStartClick();
  }
  const std::uint8_t ended = controller.AdjResult;
  if (ended != 1 && ended != kStepFailed && ended != kRunCompleted) {
    Fail("the run ended with " + std::to_string(ended));
  }
  if (ended == kRunCompleted && controller.AdjStage == 4 &&
      (!SaysOk(head.IdentificationAnswer()) || head.CheckWordEcho() != head.CheckWordSent())) {
    Fail("a run completed that the head did not confirm");
  }
  if (std::getenv("QZR71_FUZZ_TELL")) {
    std::fprintf(stderr, "stage %u result %u, %zu faults, log ends '%s'\n",
                 static_cast<unsigned>(controller.AdjStage), static_cast<unsigned>(ended),
                 script.faults.size(),
                 model.Log.Lines().empty() ? "" : model.Log.Lines().front().c_str());
  }
  controller.BtnCancelClick();  // Complete, Cancel or the abandon warning
  controller.BtnCancelClick();
  CheckLog(model.Log);
  return 0;
}
