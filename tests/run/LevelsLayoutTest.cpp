// The Levels window's table columns, placed from a skin's measures, and the window's place beside
// the main window.
#include "run/LevelsLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

void PrintTo(const Span& span, std::ostream* out) {
  *out << "[" << span.left << ", " << span.right << ")";
}
void PrintTo(const ScreenBox& box, std::ostream* out) {
  *out << box.width << "x" << box.height << "+" << box.left << "+" << box.top;
}

namespace {

// Round numbers, so that each place can be worked out by hand: the state column 4 + 2 + 20,
// names 30, values 15 under titles of 10 ("level" 18).
LevelsMeasures Measures() {
  LevelsMeasures m;
  m.margin = 3;
  m.gap = 6;
  m.narrowGap = 2;
  m.mark = 4;
  m.word = 20;
  m.name = 30;
  m.number = 15;
  m.bar = 40;
  m.titles.fill(10);
  m.titles[static_cast<std::size_t>(LevelsColumn::kLevel)] = 18;
  return m;
}

struct ColumnsCase {
  const char* what;
  LevelsMeasures measures;
  int width;
  bool gains, daValues;
  LevelsColumns expected;
};

class Columns : public testing::TestWithParam<ColumnsCase> {};

TEST_P(Columns, LineUpFromBothEndsAndGiveTheBarWhatIsLeft) {
  const ColumnsCase& c = GetParam();
  const LevelsColumns placed = PlaceLevelsColumns(c.measures, c.width, c.gains, c.daValues);
  SCOPED_TRACE(c.what);
  EXPECT_EQ(placed.mark, c.expected.mark);
  EXPECT_EQ(placed.word, c.expected.word);
  EXPECT_EQ(placed.name, c.expected.name);
  EXPECT_EQ(placed.bar, c.expected.bar);
  EXPECT_EQ(placed.level, c.expected.level);
  EXPECT_EQ(placed.gain, c.expected.gain);
  EXPECT_EQ(placed.da, c.expected.da);
}

LevelsMeasures With(LevelsColumn column, int title, LevelsMeasures m = Measures()) {
  m.titles[static_cast<std::size_t>(column)] = title;
  return m;
}

// From the left: margin 3, mark [3, 7), word to 3 + 26, name [35, 65), the bar from 71. From
// the right end less the margin: D/A, gain and level, each with its gap before it.
INSTANTIATE_TEST_SUITE_P(
    Rows, Columns,
    testing::Values(
        ColumnsCase{"a D/A picture: every column",
                    Measures(),
                    200,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 135}, {137, 155}, {161, 176}, {182, 197}}},
        ColumnsCase{"no gains and no D/A values: the bar takes their room",
                    Measures(),
                    200,
                    false,
                    false,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 177}, {179, 197}, {197, 197}, {197, 197}}},
        ColumnsCase{"D/A values without gains: the D/A column at the end, no gap for the gains",
                    Measures(),
                    200,
                    false,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 156}, {158, 176}, {182, 182}, {182, 197}}},
        ColumnsCase{"a title wider than the values widens its column",
                    With(LevelsColumn::kDa, 25),
                    200,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 125}, {127, 145}, {151, 166}, {172, 197}}},
        ColumnsCase{"the state title wider than a mark and its word",
                    With(LevelsColumn::kState, 40),
                    200,
                    true,
                    true,
                    {{3, 7}, {9, 43}, {49, 79}, {85, 135}, {137, 155}, {161, 176}, {182, 197}}},
        ColumnsCase{"the name title wider than the names",
                    With(LevelsColumn::kName, 36),
                    200,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 71}, {77, 135}, {137, 155}, {161, 176}, {182, 197}}},
        // LevelsRowWidth of these measures is 3 + 26 + 6 + 30 + 6 + 40 + 2 + 18 + 6 + 15 + 6 +
        // 15 + 3 = 176: the bar at its least there, one more a pixel wider, and never less.
        ColumnsCase{"the narrowest row: the bar at its least",
                    Measures(),
                    176,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 111}, {113, 131}, {137, 152}, {158, 173}}},
        ColumnsCase{"a pixel wider: the bar a pixel wider",
                    Measures(),
                    177,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 112}, {114, 132}, {138, 153}, {159, 174}}},
        ColumnsCase{"too narrow: the bar keeps its least and the row runs over its end",
                    Measures(),
                    150,
                    true,
                    true,
                    {{3, 7}, {9, 29}, {35, 65}, {71, 111}, {113, 131}, {137, 152}, {158, 173}}}));

TEST(LevelsRowWidth, CountsOnlyTheColumnsThePictureHas) {
  EXPECT_EQ(LevelsRowWidth(Measures(), true, true), 176);
  EXPECT_EQ(LevelsRowWidth(Measures(), true, false), 176 - 6 - 15);
  EXPECT_EQ(LevelsRowWidth(Measures(), false, false), 176 - 2 * (6 + 15));
  EXPECT_EQ(LevelsRowWidth(With(LevelsColumn::kName, 31), true, true), 177);
}

// Names measured at a fixed width a character: the sensors' names are six characters at most,
// the front and exit check's fifteen, and that table has neither gains nor D/A values.
TEST(LevelsWindowRowWidth, HoldsWhicheverKindOfTableIsWidest) {
  const auto perCharacter = [](int pixels) {
    return [pixels](const std::vector<std::string_view>& names) {
      std::size_t longest = 0;
      for (const std::string_view name : names) longest = std::max(longest, name.size());
      return static_cast<int>(longest) * pixels;
    };
  };
  // 5 pixels: the sensors' row 176 with names of 30; the check's 176 - 2 * 21 - 30 + 75.
  EXPECT_EQ(LevelsWindowRowWidth(Measures(), perCharacter(5)), 179);
  // 2 pixels: the sensors' row, 176 - 30 + 12, is the wider.
  EXPECT_EQ(LevelsWindowRowWidth(Measures(), perCharacter(2)), 158);
}

struct PlaceCase {
  const char* what;
  ScreenBox main;
  int width, height;
  ScreenBox expected;
};

class Placing : public testing::TestWithParam<PlaceCase> {};

// A 1024 x 768 screen with a 40-pixel task bar at its foot.
constexpr ScreenBox kWorkArea{0, 0, 1024, 728};
// The main window at scale 1.0 with its frame, centred on the work area as it opens.
constexpr ScreenBox kMain{268, 206, 487, 316};

TEST_P(Placing, BesideTheMainWindowWhereTheScreenHasRoom) {
  const PlaceCase& c = GetParam();
  EXPECT_EQ(PlaceBeside(kWorkArea, c.main, c.width, c.height), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Placing,
    testing::Values(
        PlaceCase{"right of it, ending on the work area's right edge",
                  kMain,
                  269,
                  640,
                  {755, 88, 269, 640}},
        PlaceCase{"a pixel too wide for its right: left of it",
                  {270, 206, 487, 316},
                  268,
                  640,
                  {2, 88, 268, 640}},
        PlaceCase{"too wide for either side: against the left edge, over the main window's start",
                  {270, 206, 487, 316},
                  271,
                  640,
                  {0, 88, 271, 640}},
        PlaceCase{"short enough: its top beside the main window's",
                  kMain,
                  260,
                  500,
                  {755, 206, 260, 500}},
        PlaceCase{"taller than the work area: from its top", kMain, 260, 800, {755, 0, 260, 800}}));

// The other way round: a main window at the work area's top-left and a screen of 1920 x 1080.
TEST(Placing, OnAWideScreenTheWindowGoesRightOfTheMainWindow) {
  EXPECT_EQ(PlaceBeside({0, 0, 1920, 1040}, {716, 362, 487, 316}, 262, 640),
            (ScreenBox{1203, 362, 262, 640}));
  EXPECT_EQ(PlaceBeside({1920, 0, 1920, 1040}, {1920, 0, 487, 316}, 262, 640),
            (ScreenBox{2407, 0, 262, 640}));
}

}  // namespace
