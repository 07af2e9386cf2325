// The protocol engine per command, its link faults, and the model behind the replies.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "link/HeadCommands.h"
#include "sim/HeadEngine.h"
#include "sim/StoredData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const head::Frame& frame) {
  return {frame.Bytes().begin(), frame.Bytes().end()};
}

sim::Scenario Parse(const std::string& text) {
  std::istringstream in(text);
  auto parsed = sim::ParseScenario(in);
  if (auto* error = std::get_if<sim::ScenarioError>(&parsed)) {
    ADD_FAILURE() << error->message;
    return {};
  }
  return std::get<sim::Scenario>(parsed);
}

class Head {
 public:
  explicit Head(const std::string& scenario = "", bool fresh = false)
      : engine_(Parse(scenario),
                fresh ? std::nullopt : std::optional(sim::FactoryBlock(sim::MakeUnit(1))), 42) {}

  // One message in, the bytes of its one answer out.
  Bytes Send(const Bytes& message) {
    const std::vector<sim::Answer> answers = engine_.Receive(message);
    EXPECT_EQ(answers.size(), 1u);
    last_ = answers.empty() ? sim::Answer{} : answers.front();
    return last_.bytes;
  }
  Bytes Send(const head::Frame& frame) { return Send(Of(frame)); }
  Bytes Enq() { return Send(Bytes{head::kEnq}); }
  const sim::Answer& last() const { return last_; }
  sim::HeadEngine& engine() { return engine_; }

 private:
  sim::HeadEngine engine_;
  sim::Answer last_;
};

const Bytes kAck = {head::kAck};

std::array<std::uint8_t, 24> Fill24(std::uint8_t value) {
  std::array<std::uint8_t, 24> values{};
  values.fill(value);
  return values;
}

struct ReplyCase {
  const char* name;
  Bytes message;
  std::size_t length;  // of every ENQ reply that follows; 0: the head stays silent
};

void PrintTo(const ReplyCase& c, std::ostream* out) {
  *out << c.name;
}
std::string ReplyCaseName(const testing::TestParamInfo<ReplyCase>& param) {
  return param.param.name;
}

class Replies : public testing::TestWithParam<ReplyCase> {};

TEST_P(Replies, AckThenRepliesOfTheDocumentedLength) {
  Head head;
  EXPECT_EQ(head.Send(GetParam().message), kAck);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(head.Enq().size(), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Replies,
    testing::Values(ReplyCase{"TakeReading", {0xC4}, 40}, ReplyCase{"EndReading", {0xA6}, 0},
                    ReplyCase{"Opening", Of(head::OpeningFrame()), 0},
                    ReplyCase{"MotorStart", Of(head::MotorStartFrame()), 0},
                    ReplyCase{"MotorSpeed", Of(head::MotorSpeedRequestFrame()), 2},
                    ReplyCase{"Da", Of(head::DaFrame(Fill24(100))), 0},
                    ReplyCase{"Gain24", Of(head::GainFrame24(Fill24(8))), 24},
                    ReplyCase{"Gain16", Of(head::GainFrame16(std::array<std::uint8_t, 16>{})), 16},
                    ReplyCase{"S0tAdjust", Of(head::S0tAdjustStartFrame()), 2},
                    ReplyCase{"DaAdjust", Of(head::DaAdjustStartFrame()), 48},
                    ReplyCase{"BlackLevel", Of(head::BlackLevelStartFrame()), 24},
                    ReplyCase{"NoPaperBlock", Of(head::NoPaperBlockStartFrame()), 16},
                    ReplyCase{"FrontExit", Of(head::FrontExitRequestFrame()), 2},
                    ReplyCase{"CheckWord", Of(head::CheckWordFrame(0x1234)), 2},
                    ReplyCase{"Finish", Of(head::FinishFrame()), 0},
                    ReplyCase{"Unknown", {0x7E}, 0}),
    ReplyCaseName);

TEST(Engine, StoredDataIsOkThenTheBlockOrNgForAFreshHead) {
  Head head;
  EXPECT_EQ(head.Send({0xB1}), kAck);
  EXPECT_EQ(head.Enq(), (Bytes{'O', 'K'}));
  EXPECT_EQ(head.Enq().size(), 160u);
  EXPECT_EQ(head.Enq().size(), 160u) << "a retried fetch gets the block again";

  Head fresh("", true);
  fresh.Send({0xB1});
  EXPECT_EQ(fresh.Enq(), (Bytes{'N', 'G'}));
  EXPECT_EQ(fresh.Enq(), (Bytes{'N', 'G'}));
}

TEST(Engine, EchoesTheCheckWordLowByteFirstOrAsTheScenarioSpoilsIt) {
  Head head;
  head.Send(head::CheckWordFrame(0x1234));
  EXPECT_EQ(head.Enq(), (Bytes{0x34, 0x12}));
  Head swapped("echo swapped");
  swapped.Send(head::CheckWordFrame(0x1234));
  EXPECT_EQ(swapped.Enq(), (Bytes{0x12, 0x34}));
}

TEST(Engine, CutsTheStreamIntoMessagesWhateverTheReadsSplit) {
  Head head;
  const Bytes stream = {0x10, 0x02, 0xD3, 0x31, 0x10, 0x01, 0xD4, 0x05};
  std::vector<sim::Answer> answers;
  for (std::size_t i = 0; i < stream.size(); i += 3) {
    const auto piece = std::span(stream).subspan(i, std::min<std::size_t>(3, stream.size() - i));
    for (auto& answer : head.engine().Receive(piece)) answers.push_back(answer);
  }
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].received, (Bytes{0x10, 0x02, 0xD3, 0x31}));
  EXPECT_EQ(answers[1].bytes, kAck);
  const unsigned speed = head::LittleEndian16(answers[2].bytes.data());
  EXPECT_GE(speed, 2700u);
  EXPECT_LE(speed, 4509u);
}

TEST(Engine, MotorReadsZeroUntilStarted) {
  Head head;
  head.Send(head::MotorSpeedRequestFrame());
  EXPECT_EQ(head.Enq(), (Bytes{0, 0}));
}

TEST(LinkFaults, ActOnlyOnTheChosenOccurrencesOfTheirTarget) {
  Head head("silent frame:D4 2-3\n");
  const auto request = head::MotorSpeedRequestFrame();
  EXPECT_EQ(head.Send(request), kAck);
  EXPECT_EQ(head.Send(request), Bytes{});
  EXPECT_EQ(head.Send(request), Bytes{});
  EXPECT_EQ(head.Send(request), kAck);
  EXPECT_EQ(head.Send(head::MotorStartFrame()), kAck) << "other frames are not counted";
}

TEST(LinkFaults, ALostEnqDoesNotAdvanceTheReplies) {
  Head head("silent enq:B1 1");
  head.Send({0xB1});
  EXPECT_EQ(head.Enq(), Bytes{});
  EXPECT_EQ(head.Enq(), (Bytes{'O', 'K'}));
  EXPECT_EQ(head.Enq().size(), 160u);
}

TEST(LinkFaults, AHeadThatGoesDeadLosesTheNextMessagesWhateverTheyAreThenAnswersAgain) {
  Head head("silent enq:B1 1 messages=3");
  head.Send({0xB1});
  EXPECT_EQ(head.Enq(), Bytes{});
  EXPECT_EQ(head.Enq(), Bytes{});
  EXPECT_EQ(head.Send({0xA6}), Bytes{}) << "a command is lost as well, and takes no effect";
  EXPECT_EQ(head.Enq(), (Bytes{'O', 'K'})) << "the 0xB1 before the silence still counts";
}

TEST(LinkFaults, ALostCommandTakesNoEffect) {
  Head head("wrong-ack frame:D3 1 byte=15");
  EXPECT_EQ(head.Send(head::MotorStartFrame()), Bytes{0x15});
  head.Send(head::MotorSpeedRequestFrame());
  EXPECT_EQ(head.Enq(), (Bytes{0, 0})) << "the motor was never started";
}

TEST(LinkFaults, ShapeTheAnswer) {
  Head head(
      "short enq:C4 1 count=3\n"
      "extra enq:C4 2 count=4\n"
      "late enq:C4 3\n"
      "garbage enq:C4 4 count=5\n"
      "hangup enq:C4 5 down=700\n");
  head.Send({0xC4});
  EXPECT_EQ(head.Enq().size(), 37u);
  const Bytes extra = head.Enq();
  ASSERT_EQ(extra.size(), 44u);
  EXPECT_EQ(head.Enq().size(), 40u);
  EXPECT_GT(head.last().delay, std::chrono::milliseconds(500 + 5 * 40));
  const Bytes garbage = head.Enq();
  EXPECT_EQ(garbage.size(), 5u);
  EXPECT_EQ(std::count(garbage.begin(), garbage.end(), head::kAck), 0);
  EXPECT_EQ(head.Enq(), Bytes{});
  EXPECT_TRUE(head.last().hangUp);
  EXPECT_EQ(head.last().downTime, std::chrono::milliseconds(700));
}

// The model: what the tool's closed loops rely on.
TEST(Model, LevelsFallWithTheDaValueAndRiseWithEveryDoublingOfTheGain) {
  for (std::uint32_t unit = 1; unit <= 20; ++unit) {
    sim::HeadModel model(sim::MakeUnit(unit), sim::HeadFaults{}, unit);
    model.paper = sim::Paper::kWhite;
    model.gain24 = Fill24(8);
    model.da = Fill24(120);
    const auto bright = model.ReadLong();
    model.da = Fill24(60);
    const auto dim = model.ReadLong();
    std::array<std::uint8_t, 24> previous{};
    for (std::uint8_t gain = 1; gain <= 32; gain = static_cast<std::uint8_t>(gain * 2)) {
      model.gain24 = Fill24(gain);
      const auto levels = model.ReadLong();
      for (std::size_t c = 0; c < 23; ++c) {
        EXPECT_GT(bright[c], dim[c]) << "unit " << unit << " channel " << c;
        if (gain > 1 && previous[c] < 220) {
          EXPECT_GT(levels[c], previous[c]) << "unit " << unit << " channel " << c;
        }
      }
      previous = levels;
    }
  }
}

TEST(Model, ChosenLevelsActAtTheirGainAndInTheirRegulationReplies) {
  Head head(
      "gain-level l3t_ir 5 104 long\ngain-level l3t_ir 5 53 short\n"
      "regulation c0t_ir 50 da 90 readings 2-3\nregulation c0t_ir 60 readings 2");
  std::array<std::uint8_t, 24> gains = Fill24(5);
  head.Send(head::GainFrame24(gains));
  head.Send(head::GainFrame16(std::span(gains).first<16>()));
  head.Send({head::kCmdTakeReading});
  const Bytes reading = head.Enq();
  EXPECT_EQ(reading[0], 104);
  EXPECT_EQ(reading[24], 53);
  head.Send(head::DaAdjustStartFrame());
  std::vector<std::pair<int, int>> c0t;  // level and D/A value of each reply
  for (int reply = 1; reply <= 4; ++reply) {
    const Bytes answer = head.Enq();
    c0t.emplace_back(answer[1], answer[24 + 1]);
  }
  EXPECT_NE(c0t[0].first, 50);
  EXPECT_EQ(c0t[1], std::pair(50, 90)) << "the first line that covers a reply acts";
  EXPECT_EQ(c0t[2], std::pair(50, 90));
  EXPECT_EQ(c0t[3].second, 90) << "the loop held the D/A value while the answers were forced";
}

TEST(Model, PaperFollowsACarefulTechnicianUnlessTheScenarioSaysOtherwise) {
  auto whiteThenBlack = [](const std::string& scenario) {
    Head head(scenario);
    head.Send({0xB1});
    head.Send(head::GainFrame24(Fill24(12)));
    const Bytes white = head.Enq();
    head.Send(head::BlackLevelStartFrame());
    const Bytes black = head.Enq();
    return std::pair{white[0], black[0]};
  };
  const auto [white, black] = whiteThenBlack("");
  EXPECT_GT(white, 60);
  EXPECT_LT(black, 16);
  const auto [white2, forgotten] = whiteThenBlack("paper white at frame:A2 1");
  EXPECT_GT(forgotten, 60) << "the white paper stayed in for the black item";
}

TEST(Scenario, ReportsTheLineOfTheFirstMistake) {
  const std::pair<const char*, const char*> cases[] = {
      {"silent frame:D4 2-5\nbogus 1\n", "line 2: unknown directive 'bogus'"},
      {"# comment\r\nstuck x0t_ir 230\r\n", "line 2: unknown sensor 'x0t_ir'"},
      {"silent frame:G1", "line 1: bad byte 'G1'"},
      {"silent wire:D4", "line 1: bad target kind 'wire' (cmd, frame, enq)"},
      {"silent enq:B1 0", "line 1: bad occurrences '0'"},
      {"silent enq:B1 5-2", "line 1: bad occurrences '5-2'"},
      {"stored-answer NGX", "line 1: expected two characters or two hex bytes"},
      {"led-droop s0t_ir 100", "line 1: droop must stay below 100 percent"},
      {"late enq:C4 1 count=900", "line 1: 'late' takes ms=N"},
      {"silent any ms=5", "line 1: 'silent' takes messages=N"},
      {"data-select-stuck b0t_ir", "line 1: only the first ten channels have a data select line"},
      {"gain-level l3t_ir 4 95 both", "line 1: expected long or short"},
      {"regulation s0t_ir 178 da", "line 1: expected 'da D' or 'readings N-M'"},
      {"regulation s0t_ir 178 at 5", "line 1: expected 'da D' or 'readings N-M'"},
  };
  for (const auto& [text, message] : cases) {
    std::istringstream in(text);
    const auto parsed = sim::ParseScenario(in);
    ASSERT_TRUE(std::holds_alternative<sim::ScenarioError>(parsed)) << text;
    EXPECT_EQ(std::get<sim::ScenarioError>(parsed).message, message);
  }
}

TEST(StateFile, RoundTripsAndRejectsWhatIsNotABlock) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("qzr71-sim-state-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "head.state";
  sim::HeadDataBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
  std::string error;
  ASSERT_TRUE(sim::SaveStateFile(path, block, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
  EXPECT_EQ(sim::LoadStateFile(path, error), block);

  for (const char* bad : {"00 11\n", "zz\n", "# nothing\n"}) {
    std::ofstream(path) << bad;
    EXPECT_FALSE(sim::LoadStateFile(path, error)) << bad;
    EXPECT_NE(error.find(path.string()), std::string::npos);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
