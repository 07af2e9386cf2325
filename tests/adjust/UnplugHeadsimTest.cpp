// The cable pulled, and separately the head going dead, inside every step of every stage: the
// stage ends with the communication error, the failure neither spins nor leaks a descriptor, and
// once the head is back the next Start completes: a lost line is opened again, a healthy one not.

#include <gtest/gtest.h>
#include <time.h>

#include <filesystem>
#include <thread>

#include "tests/adjust/HeadsimStage.h"
#include "tests/support/Ser2net.h"

namespace {

using std::chrono::duration;
using Steady = std::chrono::steady_clock;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// Stands in front of the port driver and notes when the first transfer failed, so that the
// failure's wall and processor time can be told from the healthy exchanges before it.
class FailureWatch final : public PortLink {
 public:
  void Watch(PortLink& inner) { inner_ = &inner; }

  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    const Mark before = Now();
    const bool written = inner_->WritePort(count, bytes);
    if (!written) Failed(before);
    return written;
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    const Mark before = Now();
    const std::uint32_t n = inner_->ReadPort(count, buffer);
    if (n < count) Failed(before);
    return n;
  }

  bool failed() const { return failure_.has_value(); }
  double WallSinceFailure() const {
    return duration<double>(Steady::now() - failure_->wall).count();
  }
  double CpuSinceFailure() const { return CpuSeconds() - failure_->cpu; }
  void Forget() { failure_.reset(); }

 private:
  struct Mark {
    Steady::time_point wall;
    double cpu;
  };
  static Mark Now() { return {Steady::now(), CpuSeconds()}; }
  void Failed(const Mark& at) {
    if (!failure_) failure_ = at;
  }

  PortLink* inner_ = nullptr;
  std::optional<Mark> failure_;
};

enum class Loss { kHangUp, kSilence };

struct UnplugRow {
  const char* name;
  std::size_t stage;  // the stage the head is lost in
  const char* step;
  const char* message;  // the message at which the head goes: TARGET OCCURRENCE
  // Messages the tool sends from there to the end of the failed stage: the failed exchange's four
  // transmissions (sixteen for the four fetches of the stored block), the motor stop frame's four
  // when the motor runs, and the four of the 0xA6 after the failed stage.
  std::uint32_t messagesToTheEnd;
};

void PrintTo(const UnplugRow& row, std::ostream* out) {
  *out << row.name;
}

constexpr std::uint32_t kOneExchange = 4 + 4;

const UnplugRow kRows[] = {
    {"StoredDataCommand", 0, "ReadHeadData", "cmd:B1 1", kOneExchange},
    {"StoredBlock", 0, "ReadHeadData", "enq:B1 2", 4 * 4 + 4},
    {"OpeningFrame", 0, "MotorSpeedCheck", "frame:C4 1", kOneExchange},
    {"SecondSpeedReading", 0, "MotorSpeedCheck", "enq:D4 2", 4 + 4 + 4},
    {"OverVoltageDaFrame", 1, "OverVoltageCheck", "frame:C0 3", kOneExchange},
    {"GainStepFrame", 1, "GainStepCheck", "frame:C1 4", kOneExchange},
    {"GainLevels", 1, "AdjustGain", "enq:C1 7", kOneExchange},
    {"DaRegulation", 1, "AdjustDa", "enq:A1 5", kOneExchange},
    {"DataSelectFrame", 1, "DataSelectLineCheck", "frame:C2 1", kOneExchange},
    {"BlackLevels", 2, "BlackLevelCheck", "enq:A2 5", kOneExchange},
    {"BlackFrontExit", 2, "BlackLevelCheck", "frame:A7 2", kOneExchange},
    {"S0tSaturationFrame", 3, "S0tSaturationCheck", "frame:C2 2", kOneExchange},
    {"S0tGainResponse", 3, "S0tGainResponse", "frame:C2 4", kOneExchange},
    {"NoPaperGainLevels", 3, "AdjustGain", "enq:C2 7", kOneExchange},
    {"S0tRegulation", 3, "S0tAutoAdjust", "enq:A0 3", kOneExchange},
    {"NoPaperBlock", 3, "FrontExitCheck", "enq:A3 5", kOneExchange},
    {"CheckWord", 3, "VerifyCheckWord", "frame:D5 1", kOneExchange},
    {"Identification", 4, "WriteAdjustments", "frame:B2 1", kOneExchange},
    {"FinishFrame", 4, "SendFinishFrame", "frame:D1 1", kOneExchange},
};

const Lines kCommError{" Communication error", "", "  Push Cancel button."};
const Lines kComplete{" ****** Complete *****", "", "  Push Complete button"};

class Unplug : public HeadsimStage,
               public testing::WithParamInterface<std::tuple<Loss, UnplugRow>> {
 protected:
  PortLink& ModelPort() override {
    watch_.Watch(*driver_);
    return watch_;
  }
  FailureWatch watch_;
};

TEST_P(Unplug, EndsTheStageAndTheNextStartCompletes) {
  const auto& [loss, row] = GetParam();
  SCOPED_TRACE(std::string(row.step) + " in stage " + std::to_string(row.stage) + ", at " +
               row.message);
  const std::string scenario = loss == Loss::kHangUp
                                   ? std::string("hangup ") + row.message + " down=300"
                                   : std::string("silent ") + row.message +
                                         " messages=" + std::to_string(row.messagesToTheEnd);
  const std::filesystem::path link = std::filesystem::temp_directory_path() /
                                     ("qzr71-unplug-" + std::to_string(getpid()) + "-" + row.name);
  StartWith("", scenario, {"--link", link.string()});
  const std::size_t descriptors = OpenDescriptors();

  RunThrough(row.stage);
  EXPECT_EQ(Model().Controller.AdjStage, row.stage);
  EXPECT_EQ(Model().Controller.AdjResult, kStepFailed);
  EXPECT_EQ(Model().Log.Lines(), kCommError);
  ASSERT_TRUE(watch_.failed());
  const double wall = watch_.WallSinceFailure();
  const double cpu = watch_.CpuSinceFailure();
  // A link that polled a hung-up line in a loop would burn a core for every time-out it waited.
  EXPECT_LT(cpu, 0.05 + 0.02 * wall) << "over " << wall << " s of failure";
  if (loss == Loss::kHangUp) {
    EXPECT_LT(wall, 0.5) << "a pulled cable ends every transfer at once, without its time-out";
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);

  if (loss == Loss::kHangUp) {
    const std::string again = sim_->NextLine(std::chrono::seconds(10));
    EXPECT_NE(again, sim_->DevicePath()) << "the head comes back on a new line";
  }
  Model().Controller.BtnCancelClick();

  watch_.Forget();
  bell_.rings = 0;
  boxes_.shown.clear();
  RunThrough(4);
  EXPECT_EQ(Model().Log.Lines(), kComplete);
  EXPECT_FALSE(watch_.failed());
  EXPECT_TRUE(boxes_.shown.empty());
  // The start-up's open, and for a pulled cable the one at the next Start; a silent head leaves
  // the line as it was.
  EXPECT_EQ(opens_.opens, loss == Loss::kHangUp ? 2 : 1);
  // A silence of exactly the documented count ends with the failed stage: had the tool sent
  // fewer messages, the rest of it would have cost this run a retry.
  EXPECT_EQ(bell_.rings, 0);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  std::filesystem::remove(link);
}

std::string RowName(const testing::TestParamInfo<std::tuple<Loss, UnplugRow>>& info) {
  const auto& [loss, row] = info.param;
  return std::string(loss == Loss::kHangUp ? "HangUp" : "Silence") + "_Stage" +
         std::to_string(row.stage) + "_" + row.name;
}

INSTANTIATE_TEST_SUITE_P(EveryStep, Unplug,
                         testing::Combine(testing::Values(Loss::kHangUp, Loss::kSilence),
                                          testing::ValuesIn(kRows)),
                         RowName);

// Stands in front of the failure watch and, once the tool's write of that number is out, switches
// the serial device server off.
class ServerSwitch final : public PortLink {
 public:
  ServerSwitch(PortLink& inner, std::size_t offAfter, std::function<void()> off)
      : inner_(inner), offAfter_(offAfter), off_(std::move(off)) {}
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    const bool written = inner_.WritePort(count, bytes);
    if (++writes_ == offAfter_) off_();
    return written;
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    return inner_.ReadPort(count, buffer);
  }

 private:
  PortLink& inner_;
  std::size_t writes_ = 0;
  std::size_t offAfter_;
  std::function<void()> off_;
};

// The head behind a serial device server that goes away in the middle of stage 1, while the tool
// waits for the head's answer to its 300th message (in the D/A adjustment; the head leaves that one
// unanswered): the stage ends at once as with a pulled cable, and once the server is back, the next
// Start makes a new connection and the run completes.
class ServerGone : public HeadsimStage {
 protected:
  PortLink& ModelPort() override {
    watch_.Watch(*driver_);
    return switch_;
  }
  FailureWatch watch_;
  // Not before the server has passed the message on: had the head not counted it, the next run's
  // first message would be the one it leaves unanswered.
  ServerSwitch switch_{watch_, 300, [this] {
                         std::this_thread::sleep_for(std::chrono::milliseconds(200));
                         sim_->Server().Stop();
                       }};
};

TEST_F(ServerGone, EndsTheStageAtOnceAndTheNextStartConnectsAnew) {
  StartWith("", "silent any 300", {}, Transport::kRfc2217);
  const std::size_t descriptors = OpenDescriptors();
  RunThrough(1);
  EXPECT_EQ(Model().Controller.AdjStage, 1u);
  EXPECT_EQ(Model().Log.Lines(), kCommError);
  EXPECT_TRUE(device_.LineLost());
  ASSERT_TRUE(watch_.failed());
  const double wall = watch_.WallSinceFailure();
  EXPECT_LT(wall, 0.5) << "a dropped connection ends the waiting read at once, not at its time-out";
  EXPECT_LT(watch_.CpuSinceFailure(), 0.05 + 0.02 * wall);

  sim_->Server().Start();
  Model().Controller.BtnCancelClick();
  watch_.Forget();
  RunThrough(4);
  EXPECT_EQ(Model().Log.Lines(), kComplete);
  EXPECT_FALSE(watch_.failed());
  EXPECT_FALSE(device_.LineLost());
  EXPECT_EQ(opens_.opens, 2) << "the start-up's connection, and one at the next Start";
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
