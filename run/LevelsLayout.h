#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// The Levels window's layout, the same for both skins: its table of channels, one row a channel
// in columns that line up under a header row, and its place on the screen beside the main
// window. Each skin measures the texts in its own fonts and pixels; the columns and the place
// are worked out here from those measures.

enum class LevelsColumn : std::uint8_t { kState, kName, kBar, kLevel, kGain, kDa };
inline constexpr std::size_t kLevelsColumns = 6;

// The header row's word over a column. Over the bar, the ends of its scale instead.
std::string_view LevelsColumnTitle(LevelsColumn column);
inline constexpr std::string_view kScaleLeast = "0";
inline constexpr std::string_view kScaleMost = "255";

// The kinds of table the steps show: the sensors' channels, with gains and D/A values where the
// step has them, and the front and exit check's four levels alone.
struct LevelsTableKind {
  std::vector<std::string_view> names;
  bool gains = false;
  bool daValues = false;
};
std::vector<LevelsTableKind> LevelsTableKinds();

// Pixels from the row's left edge; an empty span is a column the picture does not show.
struct Span {
  int left = 0;
  int right = 0;
  int Width() const { return right - left; }
  bool operator==(const Span&) const = default;
};

// A row's columns; the header row uses the same. The state column holds a mark and a word.
struct LevelsColumns {
  Span mark, word, name, bar, level, gain, da;
  bool operator==(const LevelsColumns&) const = default;
};

// What a skin measured, in its own pixels.
struct LevelsMeasures {
  int margin = 0;     // at either end of a row
  int gap = 0;        // between two columns
  int narrowGap = 0;  // between a mark and its word, and between a bar and its level
  int mark = 0;       // the side of a mark
  int word = 0;       // the widest state word, in either weight
  int name = 0;       // the widest channel name to show, in either weight
  int number = 0;     // the widest value: "255"
  int bar = 0;        // the least a bar may have: room for the ends of its scale at least
  std::array<int, kLevelsColumns> titles{};  // each column's title, by LevelsColumn
};

// Numbers stand right-aligned under their titles; the bar takes what the other columns leave,
// and never less than its least (a row too narrow for that runs over its right edge).
LevelsColumns PlaceLevelsColumns(const LevelsMeasures& measures, int rowWidth, bool gains,
                                 bool daValues);
// The narrowest row that holds every column with the bar at its least.
int LevelsRowWidth(const LevelsMeasures& measures, bool gains, bool daValues);
// The narrowest row that holds every kind of table, each with its own names; widestName
// measures a list of names in the skin's fonts. The window is made this wide once, so that it
// does not change its width from one step to the next.
int LevelsWindowRowWidth(
    LevelsMeasures measures,
    const std::function<int(const std::vector<std::string_view>&)>& widestName);

struct ScreenBox {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const ScreenBox&) const = default;
};

// Where a window of this size goes beside the main window, within the work area: to the main
// window's right where there is room, else to its left; where neither side has room, against the
// work area's left edge, over the start of the main window's log rather than its buttons. Its top
// lines up with the main window's and moves up as far as the window needs to stay on the screen.
ScreenBox PlaceBeside(const ScreenBox& workArea, const ScreenBox& main, int width, int height);
