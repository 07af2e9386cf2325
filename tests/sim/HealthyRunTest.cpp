// A healthy simulated head passes a whole adjustment run, for many head units and noise seeds, and
// what it stores at the end is what the next run reads.

#include <gtest/gtest.h>

#include <cstring>

#include "sim/HeadEngine.h"
#include "sim/StoredData.h"
#include "tests/sim/AdjustmentRun.h"
#include "tests/sim/EngineLink.h"

namespace {

std::array<std::uint8_t, 32> Identification(const char* text) {
  std::array<std::uint8_t, 32> block{};
  std::memcpy(block.data(), text, 32);
  return block;
}

const auto kIdentification = Identification("QZR7100026120804DR0471A3S1 V1.06");

TEST(HealthyHead, PassesEveryJudgementOfAWholeRun) {
  for (std::uint32_t unit = 1; unit <= 12; ++unit) {
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
      SCOPED_TRACE("unit " + std::to_string(unit) + " seed " + std::to_string(seed));
      sim::Scenario scenario;
      scenario.unit = unit;
      sim::HeadEngine engine(scenario, sim::FactoryBlock(sim::MakeUnit(unit)), seed);
      EngineLink link(engine);
      AdjustmentRun run(link);
      const RunResult result = run.Run(kIdentification);
      ASSERT_EQ(result.failure, "");
      EXPECT_TRUE(result.notes.empty());
      EXPECT_EQ(run.bells(), 0);
      EXPECT_LT(result.gainPasses24, 40);
      EXPECT_LT(result.gainPasses16, 40);
      EXPECT_LT(result.daReadings, 60);
      EXPECT_LT(result.s0tPolls, 60);
      EXPECT_LE(result.noPaperGain[11], 11);
    }
  }
}

TEST(HealthyHead, StoresTheFinishedRunAndReturnsItToTheNextRun) {
  sim::Scenario scenario;
  std::optional<sim::HeadDataBlock> saved;
  sim::HeadEngine engine(scenario, sim::FactoryBlock(sim::MakeUnit(1)), 7,
                         [&saved](const sim::HeadDataBlock& block) { saved = block; });
  EngineLink link(engine);
  AdjustmentRun run(link);
  const RunResult first = run.Run(kIdentification);
  ASSERT_EQ(first.failure, "");
  ASSERT_TRUE(saved);
  const sim::HeadDataBlock stored = *saved;

  const RunResult second = run.Run(kIdentification);
  ASSERT_TRUE(second.hadData);
  EXPECT_EQ(second.block, stored);
  const auto& b = second.block;
  EXPECT_EQ(0, std::memcmp(b.data(), kIdentification.data(), 32));
  EXPECT_TRUE(std::equal(first.daValue.begin(), first.daValue.end(), b.begin() + 32));
  EXPECT_TRUE(std::equal(first.paperGain.begin(), first.paperGain.end(), b.begin() + 56));
  EXPECT_TRUE(std::equal(first.noPaperLevel.begin(), first.noPaperLevel.end(), b.begin() + 80));
  EXPECT_TRUE(std::equal(first.noPaperGain.begin(), first.noPaperGain.end(), b.begin() + 96));
  const std::array<std::uint8_t, 22> colours = {2, 2, 2, 0, 1, 1, 0, 1, 0, 1, 2,
                                                2, 2, 0, 1, 1, 1, 1, 0, 2, 2, 2};
  EXPECT_TRUE(std::equal(colours.begin(), colours.end(), b.begin() + 112));
  EXPECT_TRUE(std::equal(first.blackLevel.begin(), first.blackLevel.end(), b.begin() + 134));
  EXPECT_EQ(b[158] | (b[159] << 8), first.checkWord);
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
    AdjustmentRun run(link);
    EXPECT_NE(run.Run(kIdentification).failure, "");
    EXPECT_EQ(stores, 0);
    EXPECT_EQ(engine.stored(), factory);
  }
}

TEST(HealthyHead, FreshHeadAnswersNgAndStillPassesTheRun) {
  sim::HeadEngine engine(sim::Scenario{}, std::nullopt, 11);
  EngineLink link(engine);
  AdjustmentRun run(link);
  const RunResult result = run.Run(kIdentification);
  EXPECT_FALSE(result.hadData);
  EXPECT_EQ(result.failure, "");
  EXPECT_TRUE(engine.stored().has_value());
}

}  // namespace
