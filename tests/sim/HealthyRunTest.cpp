// A healthy simulated head passes a whole adjustment run by the tool's own steps, for many head
// units and noise seeds, and what it stores at the end is what the tool sent.

#include <gtest/gtest.h>

#include <cstring>

#include "adjust/WriteBack.h"
#include "sim/HeadEngine.h"
#include "sim/StoredData.h"
#include "tests/sim/EngineLink.h"
#include "tests/sim/ToolRun.h"

namespace {

// The ENQs the tool sent right after the first frame with this command byte.
std::size_t PollsAfter(const ToolRunResult& result, std::uint8_t command) {
  const auto& sent = result.sent;
  auto it = std::find_if(sent.begin(), sent.end(), [command](const auto& m) {
    return m.size() >= 3 && m[0] == head::kFrameLead && m[2] == command;
  });
  std::size_t polls = 0;
  for (++it; it != sent.end() && *it == std::vector<std::uint8_t>{head::kEnq}; ++it) ++polls;
  return polls;
}

TEST(HealthyHead, PassesEveryJudgementOfAWholeRunWellWithinTheLimits) {
  for (std::uint32_t unit = 1; unit <= 12; ++unit) {
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
      SCOPED_TRACE("unit " + std::to_string(unit) + " seed " + std::to_string(seed));
      sim::Scenario scenario;
      scenario.unit = unit;
      sim::HeadEngine engine(scenario, sim::FactoryBlock(sim::MakeUnit(unit)), seed);
      EngineLink link(engine);
      ToolRun run(link);
      const ToolRunResult result = run.Run();
      ASSERT_TRUE(result.completed()) << testing::PrintToString(result.log);
      EXPECT_FALSE(result.Showed(" FRONT/BACK sensor error"));
      EXPECT_EQ(result.bells, 0);
      // Over-voltage frame and six gain steps, the passes, the gains once more.
      EXPECT_LT(result.FramesWith(head::kFrameGain24) - 8, 40u);
      // Data select, saturation, five response gains, the passes, the gains once more.
      EXPECT_LT(result.FramesWith(head::kFrameGain16) - 8, 40u);
      EXPECT_LT(PollsAfter(result, head::kFrameDaAdjust), 60u);
      EXPECT_LT(PollsAfter(result, head::kFrameS0tAdjust), 60u);
      EXPECT_LE(result.record.NoPaperGain[11], 11);
    }
  }
}

TEST(HealthyHead, StoresWhatTheFinishedRunSent) {
  std::optional<sim::HeadDataBlock> saved;
  sim::HeadEngine engine(sim::Scenario{}, sim::FactoryBlock(sim::MakeUnit(1)), 7,
                         [&saved](const sim::HeadDataBlock& block) { saved = block; });
  EngineLink link(engine);
  ToolRun run(link);
  const ToolRunResult result = run.Run();
  ASSERT_TRUE(result.completed());
  ASSERT_TRUE(saved);
  const auto& b = *saved;
  const AdjustmentRecord& r = result.record;
  const auto identification = IdentificationBlock(r);
  EXPECT_TRUE(std::equal(identification.begin(), identification.end(), b.begin()));
  EXPECT_TRUE(std::equal(r.DaValue.begin(), r.DaValue.end() - 1, b.begin() + 32));
  EXPECT_TRUE(std::equal(r.PaperGain.begin(), r.PaperGain.end(), b.begin() + 56));
  EXPECT_TRUE(std::equal(r.NoPaperLevel.begin(), r.NoPaperLevel.end(), b.begin() + 80));
  EXPECT_TRUE(std::equal(r.NoPaperGain.begin(), r.NoPaperGain.end(), b.begin() + 96));
  EXPECT_TRUE(std::equal(r.ColorCode.begin(), r.ColorCode.end(), b.begin() + 112));
  EXPECT_TRUE(std::equal(r.BlackLevel.begin(), r.BlackLevel.end(), b.begin() + 134));
  EXPECT_EQ(b[158] | (b[159] << 8), r.CheckWord);
}

TEST(HealthyHead, StoresNothingWhenTheIdentificationIsRefusedOrTheRunIsNotFinished) {
  for (const char* directive : {"id-answer NG", "silent frame:D1"}) {
    SCOPED_TRACE(directive);
    std::istringstream text(directive);
    auto scenario = std::get<sim::Scenario>(sim::ParseScenario(text));
    int stores = 0;
    const sim::HeadDataBlock factory = sim::FactoryBlock(sim::MakeUnit(1));
    sim::HeadEngine engine(scenario, factory, 3, [&stores](const auto&) { ++stores; });
    EngineLink link(engine);
    ToolRun run(link);
    EXPECT_FALSE(run.Run().completed());
    EXPECT_EQ(stores, 0);
    EXPECT_EQ(engine.stored(), factory);
  }
}

TEST(HealthyHead, FreshHeadAnswersNgAndStillPassesTheRun) {
  sim::HeadEngine engine(sim::Scenario{}, std::nullopt, 11);
  EngineLink link(engine);
  ToolRun run(link);
  const ToolRunResult result = run.Run();
  EXPECT_STREQ(result.record.ModelCode.data(), "QZR71000");
  EXPECT_TRUE(result.completed());
  ASSERT_TRUE(engine.stored().has_value());
  EXPECT_EQ(0, std::memcmp(engine.stored()->data() + 16, "--------", 8));
}

}  // namespace
