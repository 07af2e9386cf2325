// Every scenario of the catalogue, run by the tool's own steps, ends the run where the tool judges
// it, with the line that says why; the mixtures that should still pass do.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "sim/HeadEngine.h"
#include "sim/StoredData.h"
#include "tests/sim/EngineLink.h"
#include "tests/sim/ToolRun.h"

namespace {

struct Expected {
  const char* file;
  std::size_t lastStage;  // the stage the run ended in
  bool completes;
  const char* line = "";  // a line the log showed on the way ("" for none in particular)
  bool stores = false;    // the finished run reaches the head's memory
  int bells = -1;         // -1: not checked
};

void PrintTo(const Expected& expected, std::ostream* out) {
  *out << expected.file;
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

TEST_P(Catalogue, EndsWhereTheToolJudges) {
  const Expected& expected = GetParam();
  const sim::Scenario scenario = Load(expected.file);
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto factory = sim::FactoryBlock(sim::MakeUnit(scenario.unit));
    sim::HeadEngine engine(scenario, scenario.fresh ? std::nullopt : std::optional(factory), seed);
    EngineLink link(engine);
    ToolRun run(link);
    const ToolRunResult result = run.Run();
    EXPECT_EQ(result.lastStage, expected.lastStage);
    EXPECT_EQ(result.completed(), expected.completes) << testing::PrintToString(result.log);
    if (*expected.line) {
      EXPECT_TRUE(result.Showed(expected.line)) << testing::PrintToString(result.log);
    }
    const bool stored =
        engine.stored() && std::memcmp(engine.stored()->data() + 24, "S1 V1.06", 8) == 0;
    EXPECT_EQ(stored, expected.stores);
    if (expected.bells >= 0) {
      EXPECT_EQ(result.bells, expected.bells);
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
    testing::Values(
        Expected{"no-answer.scn", 0, false, " Communication error"},
        Expected{"wrong-ack-to-stored-data-command.scn", 0, false, " Communication error"},
        Expected{"stored-ng.scn", 4, true, "", true},
        Expected{"stored-ng-lower-case.scn", 4, true, "", true},
        Expected{"block-fetch-three-fail.scn", 4, true, "", true, 12},
        Expected{"block-fetch-four-fail.scn", 0, false, " Communication error"},
        Expected{"no-ack-second-speed-request.scn", 0, false, " Communication error"},
        Expected{"short-speed-reply.scn", 0, false, " Communication error"},
        Expected{"motor-speed-out-of-window.scn", 0, false, "269 Motor speed error"},
        Expected{"extra-bytes-after-replies.scn", 4, true, "", true, 0},
        Expected{"late-first-reading.scn", 4, true, "", true, 1},
        Expected{"garbage-readings.scn", 1, false, " Communication error"},
        Expected{"cable-pulled-during-da-adjustment.scn", 1, false, " Communication error"},
        Expected{"pulled-cable-at-start.scn", 0, false, " Communication error"},
        Expected{"over-voltage.scn", 1, false, "l3t_gn 230 ERROR OVER 4.3v"},
        Expected{"gain-step-flat.scn", 1, false, " Error sensor: r3t_rd"},
        Expected{"gain-never-reaches-target.scn", 1, false, " Error sensor: c0t_ir"},
        Expected{"da-never-settles.scn", 1, false, " Adjustment error"},
        Expected{"da-settles-out-of-range.scn", 1, false, " Error sensor: l3u_gn"},
        Expected{"black-level-over-in-tenth-reading.scn", 2, false, " Error sensor: c0d_ir"},
        Expected{"black-level-at-limits.scn", 4, true, "", true},
        Expected{"black-level-one-over-limits.scn", 2, false, " Black level error"},
        Expected{"black-level-over-in-early-readings.scn", 4, true, "", true},
        Expected{"data-select-stuck.scn", 1, false, " Data Select Line error"},
        Expected{"s0t-saturated.scn", 3, false, "s0t_ir 240 ERROR OVER 4.3v"},
        Expected{"s0t-gain-falling.scn", 3, false, " Error sensor: s0t_ir"},
        Expected{"s0t-gain-over-limit.scn", 3, false, "s0t_ir 015 GAIN OVER(limit 11)"},
        Expected{"s0t-never-settles.scn", 3, false, " Error sensor: sot_ir"},
        Expected{"s0t-settles-out-of-range.scn", 3, false, " Error sensor: sot_ir"},
        Expected{"front-no-paper-high.scn", 4, true, "   Front level(No paper)", true},
        Expected{"exit-no-paper-high.scn", 4, true, "   Exit level(No paper)", true},
        Expected{"front-in-paper-low.scn", 4, true, "   Front level(In paper)", true},
        Expected{"exit-in-paper-low.scn", 4, true, "   Exit level(In paper)", true},
        Expected{"check-word-wrong.scn", 3, false}, Expected{"check-word-swapped.scn", 3, false},
        Expected{"id-answer-ng.scn", 4, false, " ** Write Fail **"},
        Expected{"id-answer-ng-lower-case.scn", 4, false, " ** Write Fail **"},
        Expected{"id-answer-ok.scn", 4, true, " ** Write OK **", true},
        Expected{"id-answer-ok-lower-case.scn", 4, true, " ** Write OK **", true},
        Expected{"id-answer-other.scn", 4, false, " ** Write Fail **"},
        Expected{"technician-keeps-white-paper.scn", 2, false, " Black level error"},
        Expected{"technician-leaves-black-paper-in.scn", 3, false,
                 "s0t_ir 015 GAIN OVER(limit 11)"},
        Expected{"noisy-cable.scn", 4, true, "", true},
        Expected{"worn-head.scn", 4, true, "", true, 0}),
    FileName);

TEST(CatalogueFiles, EveryScenarioFileIsCoveredAndParses) {
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QZR71_SCENARIO_DIR)) {
    if (entry.path().extension() != ".scn") continue;
    ++files;
    Load(entry.path().filename().string());
  }
  EXPECT_EQ(files, 44u);
}

}  // namespace
