#include "adjust/OperatorLog.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

struct AddLineCase {
  const char* name;
  std::string_view text;
  Lines lines;
};

class AddLineSplitting : public testing::TestWithParam<AddLineCase> {};

std::string AddLineCaseName(const testing::TestParamInfo<AddLineCase>& param) {
  return param.param.name;
}

TEST_P(AddLineSplitting, CrLfStartsANewLine) {
  OperatorLog log;
  log.AddLine("first");
  log.AddLine(GetParam().text);
  Lines expected{"first"};
  expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
  EXPECT_EQ(log.Lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    OperatorLog, AddLineSplitting,
    testing::Values(
        AddLineCase{"Plain", "Hit Next button.", {"Hit Next button."}},
        AddLineCase{"Empty", "", {""}},
        AddLineCase{
            "TrailingBreak", "Conect to PC with QZR-71.\r\n", {"Conect to PC with QZR-71.", ""}},
        AddLineCase{"LeadingBreak", "\r\n  Push Cancel button", {"", "  Push Cancel button"}},
        AddLineCase{"TwoBreaks", "a\r\nb\r\nc", {"a", "b", "c"}},
        AddLineCase{"LoneCrOrLfKept", "a\rb\nc", {"a\rb\nc"}}),
    AddLineCaseName);

TEST(OperatorLog, CommErrorLeavesOnlyItsLine) {
  OperatorLog log;
  for (int i = 0; i < 10; ++i) log.AddLine("line " + std::to_string(i));
  EXPECT_EQ(log.LogCommError(), 0);
  EXPECT_EQ(log.Lines(), Lines{" Communication error"});
}

TEST(OperatorLog, OtherErrorLinesFollowTheStepsLines) {
  struct Case {
    StepResult (OperatorLog::*log)();
    const char* line;
  };
  for (const Case c : {Case{&OperatorLog::LogAdjustError, " Adjustment error"},
                       Case{&OperatorLog::LogBlackLevelError, " Black level error"},
                       Case{&OperatorLog::LogFrontBackError, " FRONT/BACK sensor error"}}) {
    OperatorLog log;
    log.AddLine(" ***** HEADING *****");
    log.AddLine("value");
    EXPECT_EQ((log.*c.log)(), 163);
    EXPECT_EQ(log.Lines(), (Lines{" ***** HEADING *****", "value", c.line}));
  }
}

TEST(OperatorLog, ClearAndAppend) {
  OperatorLog log;
  log.ClearLog();
  EXPECT_TRUE(log.Lines().empty());
  log.AppendToLastLine("x");  // an empty log gains the text as its line
  log.AddLine("abc");
  log.AppendToLastLine(" def");
  EXPECT_EQ(log.Lines(), (Lines{"x", "abc def"}));
  log.ClearLog();
  EXPECT_TRUE(log.Lines().empty());
}

struct ListingCase {
  const char* name;
  std::vector<std::string_view> names;
  Lines lines;
};

class ErrorSensorListing : public testing::TestWithParam<ListingCase> {};

std::string ListingCaseName(const testing::TestParamInfo<ListingCase>& param) {
  return param.param.name;
}

constexpr const char* kIndent = "              ";  // 14 blanks, the width of " Error sensor:"

TEST_P(ErrorSensorListing, ThreeNamesToALineInOneColumn) {
  OperatorLog log;
  log.AddLine(" ***** BLACK LEVEL CHECK *****");
  log.ListErrorSensors(GetParam().names);
  Lines expected{" ***** BLACK LEVEL CHECK *****"};
  expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
  EXPECT_EQ(log.Lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    OperatorLog, ErrorSensorListing,
    testing::Values(
        ListingCase{"None", {}, {" Error sensor:"}},
        ListingCase{"One", {"b0t_ir"}, {" Error sensor: b0t_ir"}},
        ListingCase{"Three",
                    {"l3t_ir", "c0t_ir", "r3t_ir"},
                    {" Error sensor: l3t_ir c0t_ir r3t_ir", kIndent}},
        ListingCase{"Four",
                    {"l3t_ir", "r3t_ir", "l3t_gn", "c0t_rd"},
                    {" Error sensor: l3t_ir r3t_ir l3t_gn", std::string(kIndent) + " c0t_rd"}},
        ListingCase{"Seven",
                    {"a1", "a2", "a3", "a4", "a5", "a6", "a7"},
                    {" Error sensor: a1 a2 a3", std::string(kIndent) + " a4 a5 a6",
                     std::string(kIndent) + " a7"}},
        ListingCase{"Six",
                    {"a1", "a2", "a3", "a4", "a5", "a6"},
                    {" Error sensor: a1 a2 a3", std::string(kIndent) + " a4 a5 a6", kIndent}}),
    ListingCaseName);

TEST(OperatorLog, ObserverSeesEveryChange) {
  OperatorLog log;
  std::vector<std::size_t> sizes;
  log.SetObserver([&] { sizes.push_back(log.Lines().size()); });
  log.AddLine("a\r\nb");
  log.AppendToLastLine("c");
  log.LogCommError();
  log.ClearLog();
  EXPECT_EQ(sizes, (std::vector<std::size_t>{2, 2, 1, 0}));
}

}  // namespace
