// The stages end to end against the simulated head over a pseudo-terminal: one row per
// documented outcome and one on each side of every documented limit, each with the log it
// leaves, the controller's result, the wire facts that matter and its whole conversation. The
// rows that exercise the link run once more through a serial device server (ser2net, RFC 2217),
// with the same conversation.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/adjust/GoldenTrace.h"
#include "tests/adjust/HeadsimStage.h"

namespace {

using Messages = std::vector<Bytes>;

const Lines kFailed{"", "  Push Cancel button."};
const Lines kCommError{" Communication error", "", "  Push Cancel button."};
const std::string kGainHeading = " ***** Adjusting GAIN *****";
const Lines kQuestion{"Write the Adjustings to DURA RODA.",
                      "Hit Next or Cancel button.  Yes-->Next No-->Cancel"};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The tool's messages from the first frame with this command byte on.
Messages From(const Messages& sent, std::uint8_t command) {
  const auto first = std::find_if(sent.begin(), sent.end(), [command](const Bytes& m) {
    return m.size() >= 3 && m[0] == head::kFrameLead && m[2] == command;
  });
  return {first, sent.end()};
}

std::size_t Count(const Messages& sent, const Bytes& message) {
  return static_cast<std::size_t>(std::count(sent.begin(), sent.end(), message));
}

const Bytes kEnq{head::kEnq};
const Bytes kDaEnd = Of(head::FrontExitRequestFrame());

// The last frame with this command byte; empty when there is none.
Bytes LastFrame(const Messages& sent, std::uint8_t command) {
  const auto last = std::find_if(sent.rbegin(), sent.rend(), [command](const Bytes& m) {
    return m.size() >= 3 && m[0] == head::kFrameLead && m[2] == command;
  });
  return last == sent.rend() ? Bytes{} : *last;
}

// ENQs after the first frame with this command byte, up to the next frame.
std::size_t PollsAfter(const Messages& sent, std::uint8_t command) {
  const Messages from = From(sent, command);
  const auto end = std::find_if(from.begin() + (from.empty() ? 0 : 1), from.end(),
                                [](const Bytes& m) { return m.size() > 1; });
  return static_cast<std::size_t>(std::count(from.begin(), end, kEnq));
}

// "gain-level SENSOR G L SET" for each gain and level.
std::string GainLevels(const char* sensor, const char* set,
                       std::initializer_list<std::pair<int, int>> levels) {
  std::string text;
  for (const auto& [gain, level] : levels) {
    text += std::string("gain-level ") + sensor + " " + std::to_string(gain) + " " +
            std::to_string(level) + " " + set + "\n";
  }
  return text;
}

// l3t_ir rises with every gain of the register check; in the gain adjustment only its levels at
// gains 4 and 5 decide.
std::string L3tIrAt4And5(int at4, int at5) {
  return GainLevels("l3t_ir", "long", {{4, at4}, {5, at5}, {8, 150}, {16, 200}, {32, 210}});
}

// s0t_ir without paper at the gains of the response check (gain 12 is also the saturation
// check's); the head's regulation then settles at once.
std::string S0tIrAtGains(int g7, int g8, int g9, int g10, int g12, std::string more = "") {
  return GainLevels("s0t_ir", "short", {{7, g7}, {8, g8}, {9, g9}, {10, g10}, {12, g12}}) + more +
         "regulation s0t_ir 178 da 100 readings 1-20";
}

// The gain of this index in the last gain frame of that set.
std::function<void(const Messages&)> GainKept(std::size_t index, std::uint8_t command, int gain) {
  return [=](const Messages& sent) { EXPECT_EQ(LastFrame(sent, command).at(3 + index), gain); };
}

std::function<void(const Messages&)> Polls(std::uint8_t command, std::size_t polls) {
  return [=](const Messages& sent) { EXPECT_EQ(PollsAfter(sent, command), polls); };
}

struct StageRow {
  const char* name;
  std::size_t stage;  // the run goes up to this stage
  const char* scenarioFile = "";
  std::string scenarioText = {};
  StepResult adjResult;  // 1 waits for Next, 0 failed, 162 completed
  Lines log;
  std::function<void(const Messages&)> wire = {};
  bool alsoOverRfc2217 = false;  // the row exercises the link: run it through a server as well
  bool lineLost = false;         // the line drops: nothing the tool sends after it reaches the head
};

void PrintTo(const StageRow& row, std::ostream* out) {
  *out << row.name;
}

using StageCase = std::tuple<StageRow, Transport>;

class Stages : public HeadsimStage, public testing::WithParamInterface<StageCase> {};

TEST_P(Stages, EndAsDocumented) {
  const auto& [row, transport] = GetParam();
  StartWith(row.scenarioFile, row.scenarioText, {}, transport);
  RunThrough(row.stage);
  EXPECT_EQ(Model().Controller.AdjStage, row.stage);
  EXPECT_EQ(Model().Controller.AdjResult, row.adjResult);
  EXPECT_EQ(Model().Log.Lines(), row.log);
  EXPECT_EQ(device_.LineLost(), row.lineLost);
  const Messages sent = Sent(StopAndReadTrace(), "tool");
  ASSERT_FALSE(sent.empty());
  if (row.adjResult == kStepFailed && !row.lineLost) {
    EXPECT_EQ(sent.back(), Bytes{head::kCmdEndReading}) << "a failed stage ends with 0xA6";
  }
  if (row.wire) row.wire(sent);
  std::string suite = testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
  suite.erase(suite.find('/'));
  std::string scenario = row.scenarioFile + row.scenarioText;
  std::replace(scenario.begin(), scenario.end(), '\n', ';');
  ExpectGolden(suite + "." + row.name,
               (scenario.empty() ? "healthy head" : scenario) + ", run up to stage " +
                   std::to_string(row.stage),
               sent);
}

std::string RowName(const testing::TestParamInfo<StageCase>& info) {
  const auto& [row, transport] = info.param;
  return std::string(row.name) + (transport == Transport::kRfc2217 ? "OverRfc2217" : "");
}

// Every row on the head's line, and the rows that exercise the link through a server as well.
template <std::size_t N>
auto Cases(const StageRow (&rows)[N]) {
  std::vector<StageCase> cases;
  for (const StageRow& row : rows) {
    cases.emplace_back(row, Transport::kLine);
    if (row.alsoOverRfc2217) cases.emplace_back(row, Transport::kRfc2217);
  }
  return testing::ValuesIn(cases);
}

// Raw readings 2700, 4509 and 2709: 270, 450 and 270, all inside the window.
const StageRow kMotorRows[] = {
    {"SpeedsAtTheWindowsEdges",
     0,
     "",
     "motor-speed 2700 4509 2709",
     1,
     {"Set White reference paper.", "", "Hit Next button."},
     {},
     true},
};

INSTANTIATE_TEST_SUITE_P(MotorSpeed, Stages, Cases(kMotorRows), RowName);

const Lines kWhitePassed{"Set Black reference paper.", "", "Hit Next button."};
const Lines kRegister{" ***** REGISTER check *****"};
const Lines kDaHeading{" ***** Adjusting D/A *****"};

const StageRow kWhitePaperRows[] = {
    {"Healthy", 1, "", "", 1, kWhitePassed,
     [](const Messages& sent) {
       const Messages da = From(sent, head::kFrameDaAdjust);
       EXPECT_EQ(Count(da, kDaEnd), 1u) << "the regulation ends with the end frame";
     }},
    {"OverVoltageAtDaOne", 1, "over-voltage.scn", "", 0,
     Join({kRegister, {"l3t_gn 230 ERROR OVER 4.3v"}, kFailed}),
     [](const Messages& sent) {
       // 200, 197, ... 2, then 1: 68 D/A frames, the last with 1 for l3t_gn.
       EXPECT_EQ(FramesWith(sent, head::kFrameDa24), 68u);
       const auto last = std::find_if(sent.rbegin(), sent.rend(), [](const Bytes& m) {
         return m.size() == 27 && m[2] == head::kFrameDa24;
       });
       ASSERT_NE(last, sent.rend());
       EXPECT_EQ((*last)[3 + 3], 1);
     }},
    {"GainStepFlat", 1, "gain-step-flat.scn", "", 0,
     Join({kRegister, {" Gain error", " Error sensor: r3t_rd"}, kFailed})},
    {"GainStepFlatWithB0t", 1, "", "gain-response r3t_rd flat\ngain-response b0t_ir flat", 0,
     Join({kRegister, {" Gain error", " Error sensor: r3t_rd b0t_ir"}, kFailed})},
    {"GainStepFlatThreeAndB0t", 1, "",
     "gain-response l3t_ir flat\ngain-response c0t_ir flat\ngain-response r3t_ir flat\n"
     "gain-response b0t_ir flat",
     0,
     Join({kRegister,
           {" Gain error", " Error sensor: l3t_ir c0t_ir r3t_ir", "               b0t_ir"},
           kFailed})},
    {"GainNeverReachesTarget", 1, "gain-never-reaches-target.scn", "", 0,
     Join({kDaHeading, {" Adjustment error", " Error sensor: c0t_ir"}, kFailed}),
     [](const Messages& sent) {
       // The over-voltage check's frame, six gain steps, then 64 passes and the gains once more.
       EXPECT_EQ(FramesWith(sent, head::kFrameGain24), 1u + 6u + 65u);
       EXPECT_EQ(Count(From(sent, head::kFrameDaAdjust), kDaEnd), 0u);
     }},
    {"DaNeverSettles", 1, "da-never-settles.scn", "", 0,
     Join({kDaHeading, {" Adjustment error", " Error sensor: r3d_ir"}, kFailed}),
     [](const Messages& sent) {
       const Messages da = From(sent, head::kFrameDaAdjust);
       EXPECT_EQ(Count(da, kEnq), 600u);
       EXPECT_EQ(Count(da, kDaEnd), 0u);
     }},
    {"DaSettlesOutOfRange", 1, "da-settles-out-of-range.scn", "", 0,
     Join({kDaHeading, {" Adjustment error", " Error sensor: l3u_gn"}, kFailed}),
     [](const Messages& sent) { EXPECT_EQ(Count(From(sent, head::kFrameDaAdjust), kDaEnd), 0u); }},
    {"DataSelectStuck", 1, "data-select-stuck.scn", "", 0,
     Join({kDaHeading,
           {" Data Select Line error", " Error sensor: l3t_ir c0t_ir r3t_ir",
            "               l3t_gn c0t_rd r3t_rd", "               l2t_gn r1t_rd r2t_gn",
            "               l1t_rd"},
           kFailed})},
    {"OverVoltageGainFrameUnanswered", 1, "", "silent frame:C1 1+", 0, kCommError},
    {"OverVoltageReadingGarbled", 1, "garbage-readings.scn", "", 0, kCommError, {}, true},
    {"GainStepFrameUnanswered", 1, "", "silent frame:C1 2+", 0, kCommError},
    {"GainLevelsUnanswered", 1, "", "silent enq:C1", 0, kCommError, {}, true},
    // The answer comes after the read gave up; the retry's read takes it.
    {.name = "FirstReadingLate",
     .stage = 1,
     .scenarioFile = "late-first-reading.scn",
     .adjResult = 1,
     .log = kWhitePassed,
     .alsoOverRfc2217 = true},
    {.name = "CablePulledInDaRegulation",
     .stage = 1,
     .scenarioFile = "cable-pulled-during-da-adjustment.scn",
     .adjResult = 0,
     .log = kCommError,
     .alsoOverRfc2217 = true,
     .lineLost = true},
    {"DaLevelsUnanswered", 1, "", "silent enq:A1 5+", 0, kCommError},
    {"DaEndReplyUnanswered", 1, "", "silent enq:A7", 0, kCommError},
    {"DataSelectFrameUnanswered", 1, "", "silent frame:C2", 0, kCommError},
    {"ReadingEndUnanswered", 1, "", "silent cmd:A6 2+", 0, kCommError},
    {"OverVoltageAt220", 1, "", "stuck l3t_gn 220", 0,
     Join({kRegister, {"l3t_gn 220 ERROR OVER 4.3v"}, kFailed})},
    // 219 is no over-voltage: the stuck channel then fails the gain steps instead.
    {"OverVoltageAt219", 1, "", "stuck l3t_gn 219", 0,
     Join({kRegister, {" Gain error", " Error sensor: l3t_gn"}, kFailed})},
    {"GainStepsRisingByOne", 1, "",
     GainLevels("r3t_rd", "long", {{1, 40}, {2, 41}, {4, 42}, {8, 43}, {16, 44}, {32, 45}}), 1,
     kWhitePassed},
    {"GainShortfall7Overshoot2", 1, "", L3tIrAt4And5(95, 104), 1, kWhitePassed,
     GainKept(0, head::kFrameGain24, 5)},
    {"GainShortfall3Overshoot4", 1, "", L3tIrAt4And5(99, 106), 1, kWhitePassed,
     GainKept(0, head::kFrameGain24, 4)},
    {"GainShortfall2Overshoot2", 1, "", L3tIrAt4And5(100, 104), 1, kWhitePassed,
     GainKept(0, head::kFrameGain24, 5)},
    // l3t_ir keeps gain 5 and reads 104 on the long set's line.
    {"DataSelectDifference51", 1, "", L3tIrAt4And5(95, 104) + "gain-level l3t_ir 5 53 short", 1,
     kWhitePassed},
    {"DataSelectDifference51ShortHigher", 1, "",
     L3tIrAt4And5(95, 104) + "gain-level l3t_ir 5 155 short", 1, kWhitePassed},
    {"DataSelectDifference50", 1, "", L3tIrAt4And5(95, 104) + "gain-level l3t_ir 5 54 short", 0,
     Join({kDaHeading, {" Data Select Line error", " Error sensor: l3t_ir"}, kFailed})},
    {"DaWindowEdgesInside", 1, "",
     "regulation l3t_ir 96 da 100\nregulation c0t_ir 107 da 100\n"
     "regulation l3d_ir 147 da 100\nregulation c0d_ir 158 da 100",
     1, kWhitePassed, Polls(head::kFrameDaAdjust, 10)},
    {"DaWindowEdgesOutside", 1, "",
     "regulation l3t_ir 95 da 100\nregulation c0t_ir 108 da 100\n"
     "regulation l3d_ir 146 da 100\nregulation c0d_ir 159 da 100",
     0,
     Join({kDaHeading,
           {" Adjustment error", " Error sensor: l3t_ir c0t_ir l3d_ir", "               c0d_ir"},
           kFailed}),
     Polls(head::kFrameDaAdjust, 600)},
    {"DaValues80And120", 1, "", "regulation l3t_ir 102 da 80\nregulation c0t_ir 102 da 120", 1,
     kWhitePassed, Polls(head::kFrameDaAdjust, 10)},
    {"DaValues79And121", 1, "", "regulation l3t_ir 102 da 79\nregulation c0t_rd 102 da 121", 0,
     Join({kDaHeading, {" Adjustment error", " Error sensor: l3t_ir c0t_rd"}, kFailed}),
     [](const Messages& sent) {
       EXPECT_EQ(PollsAfter(sent, head::kFrameDaAdjust), 10u);
       EXPECT_EQ(Count(From(sent, head::kFrameDaAdjust), kDaEnd), 0u);
     }},
    {"DaTenthReadingBad", 1, "", "regulation l3t_ir 50 readings 10", 1, kWhitePassed,
     Polls(head::kFrameDaAdjust, 20)},
    {"DaSettlesAtReading600", 1, "", "regulation l3t_ir 50 readings 1-590", 1, kWhitePassed,
     Polls(head::kFrameDaAdjust, 600)},
};

INSTANTIATE_TEST_SUITE_P(WhitePaper, Stages, Cases(kWhitePaperRows), RowName);

const Lines kBlackHeading{" ***** Black level check *****"};
// Every channel but s0t_ir over its limit: all 23 names, three to a line.
const Lines kBlackAllListed = Join(
    {kBlackHeading,
     {" Error sensor: l3t_ir c0t_ir r3t_ir", "               l3t_gn c0t_rd r3t_rd",
      "               l2t_gn r1t_rd r2t_gn", "               l1t_rd l3d_ir c0d_ir",
      "               r3d_ir l3u_gn c0u_rd", "               r3u_rd l3d_rd c0d_rd",
      "               r3d_gn l3u_ir c0u_ir", "               r3u_ir b0t_ir", " Black level error"},
     kFailed});

const StageRow kBlackPaperRows[] = {
    {"Healthy", 2, "", "", 1, {"Pull out reference paper.", "", "Hit Next button."}},
    {"OverInEarlyReadingsOnly",
     2,
     "black-level-over-in-early-readings.scn",
     "",
     1,
     {"Pull out reference paper.", "", "Hit Next button."}},
    {"OverInTenthReading", 2, "black-level-over-in-tenth-reading.scn", "", kStepFailed,
     Join({kBlackHeading, {" Error sensor: c0d_ir", " Black level error"}, kFailed}),
     [](const Messages& sent) {
       const Messages black = From(sent, head::kFrameBlackLevel);
       EXPECT_EQ(Count(black, kEnq), 10u);
       EXPECT_EQ(FramesWith(black, head::kFrameFrontExit), 0u) << "no front and exit levels";
     }},
    {"AtTheLimitPasses",
     2,
     "black-level-at-limits.scn",
     "",
     1,
     {"Pull out reference paper.", "", "Hit Next button."}},
    {"OneOverEveryLimit", 2, "black-level-one-over-limits.scn", "", kStepFailed, kBlackAllListed},
    {"WhitePaperLeftIn", 2, "technician-keeps-white-paper.scn", "", kStepFailed, kBlackAllListed},
    {"SeventhReadingUnanswered", 2, "", "silent enq:A2 7+", kStepFailed, kCommError,
     [](const Messages& sent) {
       EXPECT_EQ(FramesWith(From(sent, head::kFrameBlackLevel), head::kFrameFrontExit), 0u);
     }},
    {"FrontExitReplyShort", 2, "", "short enq:A7 2+", kStepFailed, kCommError, {}, true},
    // A stray byte after each reply, which the purge after each read takes.
    {.name = "ExtraByteAfterEachReading",
     .stage = 2,
     .scenarioText = "extra enq:A2 count=1",
     .adjResult = 1,
     .log = {"Pull out reference paper.", "", "Hit Next button."},
     .alsoOverRfc2217 = true},
};

INSTANTIATE_TEST_SUITE_P(BlackPaper, Stages, Cases(kBlackPaperRows), RowName);

const Lines kGainLines{kGainHeading};
const Lines kNonPaperPassed = Join({kGainLines, kQuestion});

Lines FrontExitFailure(Lines levels) {
  return Join({kGainLines, {" FRONT/BACK sensor error"}, levels, kQuestion});
}

std::function<void(const Messages&)> DaFramesWithoutPaper(std::size_t frames) {
  return [=](const Messages& sent) {
    EXPECT_EQ(FramesWith(From(sent, head::kFrameBlackLevel), head::kFrameDa24), frames);
  };
}

const StageRow kNonPaperRows[] = {
    {"Healthy", 3, "", "", 1, kNonPaperPassed},
    // D/A 200, 198, ... 2, then 1.
    {"S0tSaturated", 3, "s0t-saturated.scn", "", kStepFailed,
     Join({kRegister, {"s0t_ir 240 ERROR OVER 4.3v"}, kFailed}), DaFramesWithoutPaper(101)},
    {"S0tGainFalling", 3, "s0t-gain-falling.scn", "", kStepFailed,
     Join({kRegister, {" Gain error", " Error sensor: s0t_ir"}, kFailed})},
    {"S0tGainOverLimit", 3, "s0t-gain-over-limit.scn", "", kStepFailed,
     Join({kGainLines, {"s0t_ir 015 GAIN OVER(limit 11)"}, kFailed})},
    {"BlackPaperLeftIn", 3, "technician-leaves-black-paper-in.scn", "", kStepFailed,
     Join({kGainLines, {"s0t_ir 015 GAIN OVER(limit 11)"}, kFailed})},
    {"S0tNeverSettles", 3, "s0t-never-settles.scn", "", kStepFailed,
     Join({kGainLines, {" Adjustment error", " Error sensor: sot_ir"}, kFailed})},
    {"S0tSettlesOutOfRange", 3, "s0t-settles-out-of-range.scn", "", kStepFailed,
     Join({kGainLines, {" Adjustment error", " Error sensor: sot_ir"}, kFailed})},
    {"FrontNoPaperHigh", 3, "front-no-paper-high.scn", "", 1,
     FrontExitFailure({"   Front level(No paper)"})},
    {"ExitNoPaperHigh", 3, "exit-no-paper-high.scn", "", 1,
     FrontExitFailure({"   Exit level(No paper)"})},
    {"FrontInPaperLow", 3, "front-in-paper-low.scn", "", 1,
     FrontExitFailure({"   Front level(In paper)"})},
    {"ExitInPaperLow", 3, "exit-in-paper-low.scn", "", 1,
     FrontExitFailure({"   Exit level(In paper)"})},
    {"AllFourFrontExitLevels", 3, "",
     "front no-paper 102\nexit no-paper 102\nfront in-paper 186\nexit in-paper 150", 1,
     FrontExitFailure({"   Front level(No paper)", "   Exit level(No paper)",
                       "   Front level(In paper)", "   Exit level(In paper)"})},
    {"CheckWordSwapped", 3, "check-word-swapped.scn", "", kStepFailed, Join({kGainLines, kFailed})},
    {"CheckWordWrong", 3, "check-word-wrong.scn", "", kStepFailed, Join({kGainLines, kFailed})},
    {"SaturationFrameUnanswered", 3, "", "silent frame:C2 2+", kStepFailed, kCommError},
    {"GainResponseFrameUnanswered", 3, "", "silent frame:C2 3+", kStepFailed, kCommError},
    {"GainLevelsUnanswered", 3, "", "silent enq:C2", kStepFailed, kCommError},
    {"S0tRegulationUnanswered", 3, "", "silent enq:A0 3+", kStepFailed, kCommError},
    {"NoPaperBlockUnanswered", 3, "", "silent enq:A3", kStepFailed, kCommError},
    {"CheckWordFrameUnanswered", 3, "", "silent frame:D5", kStepFailed, kCommError},
    {"S0tSaturatedAt220", 3, "", "stuck s0t_ir 220", kStepFailed,
     Join({kRegister, {"s0t_ir 220 ERROR OVER 4.3v"}, kFailed}), DaFramesWithoutPaper(101)},
    // One reading at D/A 200, then the gain adjustment's own D/A frame.
    {"S0tAt219NotSaturated", 3, "", S0tIrAtGains(150, 155, 160, 165, 219), 1, kNonPaperPassed,
     DaFramesWithoutPaper(2)},
    // Falls of 10 and a last reading equal to the first pass; gain 11 is within the limit.
    {"S0tFallOf10", 3, "", S0tIrAtGains(100, 90, 80, 70, 100), 1, kNonPaperPassed},
    {"S0tFallOf11", 3, "", S0tIrAtGains(100, 89, 89, 89, 100), kStepFailed,
     Join({kRegister, {" Gain error", " Error sensor: s0t_ir"}, kFailed})},
    {"S0tLastBelowFirst", 3, "", S0tIrAtGains(100, 100, 100, 100, 99), kStepFailed,
     Join({kRegister, {" Gain error", " Error sensor: s0t_ir"}, kFailed})},
    {"S0tGain11", 3, "", S0tIrAtGains(150, 155, 160, 170, 190, "gain-level s0t_ir 11 180 short\n"),
     1, kNonPaperPassed, GainKept(11, head::kFrameGain16, 11)},
    {"S0tGain12", 3, "", S0tIrAtGains(150, 155, 160, 165, 180, "gain-level s0t_ir 11 170 short\n"),
     kStepFailed, Join({kGainLines, {"s0t_ir 012 GAIN OVER(limit 11)"}, kFailed})},
    {"S0tWindowEdges", 3, "",
     "regulation s0t_ir 168 da 100 readings 1-10\nregulation s0t_ir 188 da 100 readings 11-20", 1,
     kNonPaperPassed, Polls(head::kFrameS0tAdjust, 20)},
    {"S0tJustOutsideTheWindow", 3, "",
     "regulation s0t_ir 167 readings 1-500\nregulation s0t_ir 189 readings 501-1000", kStepFailed,
     Join({kGainLines, {" Adjustment error", " Error sensor: sot_ir"}, kFailed}),
     Polls(head::kFrameS0tAdjust, 1000)},
    {"S0tDa80", 3, "", "regulation s0t_ir 178 da 80", 1, kNonPaperPassed},
    {"S0tDa120", 3, "", "regulation s0t_ir 178 da 120", 1, kNonPaperPassed},
    {"S0tDa79", 3, "", "regulation s0t_ir 178 da 79", kStepFailed,
     Join({kGainLines, {" Adjustment error", " Error sensor: sot_ir"}, kFailed}),
     Polls(head::kFrameS0tAdjust, 20)},
    {"S0tDa121", 3, "", "regulation s0t_ir 178 da 121", kStepFailed,
     Join({kGainLines, {" Adjustment error", " Error sensor: sot_ir"}, kFailed}),
     Polls(head::kFrameS0tAdjust, 20)},
    {"S0tTwentyNotInARow", 3, "",
     "regulation s0t_ir 178 da 100 readings 1-19\nregulation s0t_ir 100 da 100 readings 20-29\n"
     "regulation s0t_ir 178 da 100 readings 30",
     1, kNonPaperPassed, Polls(head::kFrameS0tAdjust, 30)},
    {"S0tTwentiethAtPoll1000", 3, "",
     "regulation s0t_ir 100 da 100 readings 1-980\nregulation s0t_ir 178 da 100 readings 981-1000",
     1, kNonPaperPassed, Polls(head::kFrameS0tAdjust, 1000)},
    {"FrontExitAtTheirEdges", 3, "",
     "front no-paper 101\nexit no-paper 101\nfront in-paper 186\nexit in-paper 186", 1,
     kNonPaperPassed},
    {"InPaperMarginsOf84", 3, "",
     "front no-paper 101\nfront in-paper 185\nexit no-paper 100\nexit in-paper 184", 1,
     FrontExitFailure({"   Front level(In paper)", "   Exit level(In paper)"})},
};

INSTANTIATE_TEST_SUITE_P(NonPaper, Stages, Cases(kNonPaperRows), RowName);

const Lines kComplete{" ****** Complete *****", "", "  Push Complete button"};
const Lines kWriteFail = Join({kNonPaperPassed, {" ** Write Fail **"}, kFailed});

void EndsWithTheFinishFrame(const Messages& sent) {
  EXPECT_EQ(sent.back(), Of(head::FinishFrame()));
}
void NoFinishFrame(const Messages& sent) {
  EXPECT_EQ(FramesWith(sent, head::kFrameFinish), 0u);
}

const StageRow kWriteRows[] = {
    {"Healthy", 4, "", "", kRunCompleted, kComplete, EndsWithTheFinishFrame, true},
    {"AnswerOk", 4, "id-answer-ok.scn", "", kRunCompleted, kComplete, EndsWithTheFinishFrame},
    {"AnswerOkLowerCase", 4, "id-answer-ok-lower-case.scn", "", kRunCompleted, kComplete,
     EndsWithTheFinishFrame},
    {"AnswerNg", 4, "id-answer-ng.scn", "", kStepFailed, kWriteFail, NoFinishFrame},
    {"AnswerNgLowerCase", 4, "id-answer-ng-lower-case.scn", "", kStepFailed, kWriteFail,
     NoFinishFrame},
    {"AnswerOther", 4, "id-answer-other.scn", "", kStepFailed, kWriteFail, NoFinishFrame},
    {"AnswerZeroBytes", 4, "", "id-answer 00 00", kStepFailed, kWriteFail, NoFinishFrame},
    {"IdentificationUnanswered", 4, "", "silent frame:B2", kStepFailed, kCommError, NoFinishFrame,
     true},
    {"FinishFrameUnanswered", 4, "", "silent frame:D1", kStepFailed, kCommError},
};

INSTANTIATE_TEST_SUITE_P(WriteBack, Stages, Cases(kWriteRows), RowName);

class WholeRun : public HeadsimStage {};

TEST_F(WholeRun, CompletesAndTheNextRunReadsBackWhatItWrote) {
  const std::filesystem::path state = dir_.Path() / "head-state";
  StartWith("", "", {"--state", SimulatedHead::PathForHead(state)});
  RunThrough(4);
  ASSERT_EQ(Model().Log.Lines(), kComplete);
  const AdjustmentRecord written = Model().Record;
  const std::string headId(written.HeadIdField.data(), 8);
  EXPECT_NE(headId, "--------");

  Model().Controller.BtnCancelClick();  // Complete
  EXPECT_EQ(View().btnCancel.caption, "Exit");
  Model().Record = AdjustmentRecord{};
  Model().Controller.BtnStartClick();
  ASSERT_EQ(Model().Controller.AdjResult, 1);
  const AdjustmentRecord& read = Model().Record;
  EXPECT_STREQ(read.ModelCode.data(), "QZR71000");
  EXPECT_STREQ(read.AdjustDate.data(), written.AdjustDate.data());
  EXPECT_EQ(std::string(read.HeadIdField.data(), 8), headId);
  EXPECT_STREQ(read.ProgramVersion.data(), "S1 V1.06");
  EXPECT_EQ(read.CheckWord, written.CheckWord);
  EXPECT_EQ(read.PaperGain, written.PaperGain);
  EXPECT_EQ(read.NoPaperGain, written.NoPaperGain);
  // The head keeps regulating s0t_ir after its last answer, so only channels 0..22 must agree.
  EXPECT_TRUE(std::equal(read.DaValue.begin(), read.DaValue.end() - 1, written.DaValue.begin()));
  EXPECT_TRUE(std::filesystem::exists(state));
}

}  // namespace
