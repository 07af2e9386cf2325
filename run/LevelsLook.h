#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/LevelsPicture.h"

// The Levels window as both skins draw it: how often, with which lengths and colours, and which
// parts of a picture changed since the one before. Each skin turns the lengths into its pixels
// and the colours into its own, and draws.
namespace levels {

// Four pictures a second: the bars still read as motion, and numbers that changed faster could
// not be read anyway. Each picture costs the stage's thread its time.
inline constexpr int kRefreshMilliseconds = 250;
// The largest channel set; the window is sized for it at the start, so that it never jumps.
inline constexpr std::size_t kMostChannels = 24;
// Lines kept for the judgement, so that one of a few channels moves nothing below it.
inline constexpr int kSummaryLines = 2;
inline constexpr std::string_view kLegend =
    "Each bar: the level on the scale 0 to 255; hatched, the channel's window.";

// A bar's scale: the levels 0 to 255.
inline constexpr int kScale = 256;

// Designed lengths, at 120 pixels per inch.
inline constexpr int kTextHeight = 15;
inline constexpr int kHeadingHeight = 17;
inline constexpr int kMargin = 6;     // around the window's parts
inline constexpr int kSpacing = 5;    // between them
inline constexpr int kRowMargin = 4;  // at either end of a table row
inline constexpr int kGap = 8;        // between two columns
inline constexpr int kNarrowGap = 4;  // between a mark and its word, a bar and its level
inline constexpr int kLeastBar = 55;
inline constexpr int kRowSpace = 5;  // a row's height over its text's

struct Colour {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Colour&) const = default;
};

// Green inside its window, amber outside it, red for a channel the step judged bad.
Colour StateColour(ChannelState state);
// over laid on under, overOf255 of it showing.
Colour Mix(Colour over, Colour under, int overOf255);
// How much of the state's colour tints the row of a channel judged bad, and a count bar's fill.
inline constexpr int kJudgedBadTint = 40;
inline constexpr int kCountFillTint = 110;

// What one tick of the refresh timer is to do.
struct Tick {
  bool redraw = false;       // the picture changed, or the stage began or ended
  bool advanceBusy = false;  // a busy bar moves on
  bool stop = false;         // the stage has ended and its last picture is up: the timer rests
};

class Refresh {
 public:
  // changed: a report came since the last tick; countBusy: the count bar has nothing to count.
  Tick OnTick(bool changed, bool stageRunning, bool countBusy);
  // The window is shown: it draws at once, as the stage stands.
  void Shown(bool stageRunning) { shownRunning_ = stageRunning; }
  bool ShownRunning() const { return shownRunning_; }

 private:
  bool shownRunning_ = false;
};

// What a picture shows, as drawn: kept to tell what the next one changed.
struct Frame {
  std::string step{}, summary{};
  BarSetting count{};
  std::optional<BarSetting> detail{};
  bool gains = false, daValues = false;
  std::vector<ChannelReading> channels{};
  std::vector<ChannelState> states{};
};

Frame FrameOf(const LevelsPicture& picture, bool stageRunning);

struct Changes {
  bool top = false;                 // the step, its bars or its judgement
  std::vector<std::size_t> rows{};  // the table's rows to draw again
};

// Every row when the columns moved (other names, or gains or D/A values come or go), else the
// rows whose channel or state differs, and rows that were dropped.
Changes Compare(const Frame& before, const Frame& now);

}  // namespace levels
