// Every scenario of the catalogue makes the documented failure happen where the tool judges it,
// and the mixtures that should still pass do.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "sim/HeadEngine.h"
#include "sim/StoredData.h"
#include "tests/sim/AdjustmentRun.h"
#include "tests/sim/EngineLink.h"

namespace {

struct Expected {
  const char* file;
  const char* failure;  // "" for a completed run
  const char* notes = "";
  bool stores = false;  // the finished run reaches the head's memory
  int bells = -1;       // -1: not checked
};

void PrintTo(const Expected& expected, std::ostream* out) {
  *out << expected.file;
}

std::string Joined(const std::vector<std::string>& notes) {
  std::string text;
  for (const auto& note : notes) text += (text.empty() ? "" : ", ") + note;
  return text;
}

sim::Scenario Load(const std::string& file) {
  std::ifstream in(std::string(QZR71_SCENARIO_DIR) + "/" + file);
  EXPECT_TRUE(in) << file;
  auto parsed = sim::ParseScenario(in);
  if (auto* error = std::get_if<sim::ScenarioError>(&parsed)) {
    ADD_FAILURE() << file << ": " << error->message;
    return {};
  }
  return std::get<sim::Scenario>(parsed);
}

class Catalogue : public testing::TestWithParam<Expected> {};

TEST_P(Catalogue, FailsWhereTheToolJudges) {
  const Expected& expected = GetParam();
  const sim::Scenario scenario = Load(expected.file);
  std::array<std::uint8_t, 32> identification{};
  std::memcpy(identification.data(), "QZR7100026120804--------S1 V1.06", 32);
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto factory = sim::FactoryBlock(sim::MakeUnit(scenario.unit));
    sim::HeadEngine engine(scenario, scenario.fresh ? std::nullopt : std::optional(factory), seed);
    EngineLink link(engine);
    AdjustmentRun run(link);
    const RunResult result = run.Run(identification);
    EXPECT_EQ(result.failure, expected.failure);
    EXPECT_EQ(Joined(result.notes), expected.notes);
    const bool stored =
        engine.stored() && std::memcmp(engine.stored()->data(), "QZR7100026", 10) == 0;
    EXPECT_EQ(stored, expected.stores);
    if (expected.bells >= 0) {
      EXPECT_EQ(run.bells(), expected.bells);
    }
  }
}

std::string FileName(const testing::TestParamInfo<Expected>& param) {
  std::string name = param.param.file;
  name = name.substr(0, name.find('.'));
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Catalogue,
    testing::Values(Expected{"no-answer.scn", "comm: B1"},
                    Expected{"wrong-ack-to-stored-data-command.scn", "comm: B1"},
                    Expected{"stored-ng.scn", "", "", true},
                    Expected{"stored-ng-lower-case.scn", "", "", true},
                    Expected{"block-fetch-three-fail.scn", "", "", true, 12},
                    Expected{"block-fetch-four-fail.scn", "comm: block"},
                    Expected{"no-ack-second-speed-request.scn", "comm: speed request"},
                    Expected{"short-speed-reply.scn", "comm: speed"},
                    Expected{"motor-speed-out-of-window.scn", "motor speed"},
                    Expected{"extra-bytes-after-replies.scn", "", "", true, 0},
                    Expected{"late-first-reading.scn", "", "", true, 1},
                    Expected{"garbage-readings.scn", "comm: over-voltage reading"},
                    Expected{"cable-pulled-during-da-adjustment.scn", "comm: A1 levels"},
                    Expected{"pulled-cable-at-start.scn", "comm: B1"},
                    Expected{"over-voltage.scn", "over-voltage 3"},
                    Expected{"gain-step-flat.scn", "gain step 5"},
                    Expected{"gain-never-reaches-target.scn", "da range 1"},
                    Expected{"da-never-settles.scn", "da never settled"},
                    Expected{"da-settles-out-of-range.scn", "da range 13"},
                    Expected{"black-level-over-in-tenth-reading.scn", "black level 11"},
                    Expected{"black-level-over-in-early-readings.scn", "", "", true},
                    Expected{"data-select-stuck.scn", "data select 0"},
                    Expected{"s0t-saturated.scn", "s0t saturated"},
                    Expected{"s0t-gain-falling.scn", "s0t gain response"},
                    Expected{"s0t-gain-over-limit.scn", "s0t gain over 11"},
                    Expected{"s0t-never-settles.scn", "s0t regulation"},
                    Expected{"s0t-settles-out-of-range.scn", "s0t regulation"},
                    Expected{"front-no-paper-high.scn", "", "front no-paper", true},
                    Expected{"exit-no-paper-high.scn", "", "exit no-paper", true},
                    Expected{"front-in-paper-low.scn", "", "front in-paper", true},
                    Expected{"exit-in-paper-low.scn", "", "exit in-paper", true},
                    Expected{"check-word-wrong.scn", "check word"},
                    Expected{"check-word-swapped.scn", "check word"},
                    Expected{"id-answer-ng.scn", "write fail"},
                    Expected{"id-answer-ng-lower-case.scn", "write fail"},
                    Expected{"id-answer-ok.scn", "", "", true},
                    Expected{"id-answer-ok-lower-case.scn", "", "", true},
                    Expected{"id-answer-other.scn", "", "", false},
                    Expected{"technician-keeps-white-paper.scn", "black level 0"},
                    Expected{"technician-leaves-black-paper-in.scn", "s0t gain over 11"},
                    Expected{"noisy-cable.scn", "", "", true},
                    Expected{"worn-head.scn", "", "", true, 0}),
    FileName);

TEST(CatalogueFiles, EveryScenarioFileIsCoveredAndParses) {
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QZR71_SCENARIO_DIR)) {
    if (entry.path().extension() != ".scn") continue;
    ++files;
    Load(entry.path().filename().string());
  }
  EXPECT_EQ(files, 42u);
}

}  // namespace
