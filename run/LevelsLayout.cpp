#include "run/LevelsLayout.h"

#include <algorithm>

#include "adjust/NonPaperAdjust.h"
#include "adjust/SensorTables.h"

namespace {

int Title(const LevelsMeasures& m, LevelsColumn column) {
  return m.titles[static_cast<std::size_t>(column)];
}

// The state column: a mark and its word, or its title where that is wider.
int StateWidth(const LevelsMeasures& m) {
  return std::max(m.mark + m.narrowGap + m.word, Title(m, LevelsColumn::kState));
}

int ValueWidth(const LevelsMeasures& m, LevelsColumn column) {
  return std::max(m.number, Title(m, column));
}

}  // namespace

std::string_view LevelsColumnTitle(LevelsColumn column) {
  switch (column) {
    case LevelsColumn::kState:
      return "state";
    case LevelsColumn::kName:
      return "name";
    case LevelsColumn::kBar:
      return "";
    case LevelsColumn::kLevel:
      return "level";
    case LevelsColumn::kGain:
      return "gain";
    case LevelsColumn::kDa:
      return "D/A";
  }
  return "";
}

std::vector<LevelsTableKind> LevelsTableKinds() {
  LevelsTableKind sensors{{}, true, true};
  for (std::size_t i = 0; i < 24; ++i) sensors.names.push_back(SensorName(i));
  for (std::size_t i = 10; i < 16; ++i) sensors.names.push_back(SensorName16(i));
  return {sensors, {{kFrontExitLevelNames.begin(), kFrontExitLevelNames.end()}, false, false}};
}

LevelsColumns PlaceLevelsColumns(const LevelsMeasures& m, int rowWidth, bool gains, bool daValues) {
  LevelsColumns c;
  int left = m.margin;
  c.mark = {left, left + m.mark};
  c.word = {c.mark.right + m.narrowGap, left + StateWidth(m)};
  left = c.word.right + m.gap;
  c.name = {left, left + std::max(m.name, Title(m, LevelsColumn::kName))};
  left = c.name.right + m.gap;

  // From the right: the values the picture has, then the level beside its bar.
  int right = std::max(rowWidth, LevelsRowWidth(m, gains, daValues)) - m.margin;
  const auto fromRight = [&](Span& span, LevelsColumn column, int gapBefore) {
    span = {right - ValueWidth(m, column), right};
    right = span.left - gapBefore;
  };
  if (daValues) fromRight(c.da, LevelsColumn::kDa, m.gap);
  if (gains) fromRight(c.gain, LevelsColumn::kGain, m.gap);
  fromRight(c.level, LevelsColumn::kLevel, m.narrowGap);
  c.bar = {left, right};
  // Absent columns sit, empty, where the row ends.
  if (!daValues) c.da = {c.level.right, c.level.right};
  if (!gains) c.gain = {c.da.left, c.da.left};
  return c;
}

int LevelsRowWidth(const LevelsMeasures& m, bool gains, bool daValues) {
  int width = 2 * m.margin + StateWidth(m) + m.gap +
              std::max(m.name, Title(m, LevelsColumn::kName)) + m.gap + m.bar + m.narrowGap +
              ValueWidth(m, LevelsColumn::kLevel);
  if (gains) width += m.gap + ValueWidth(m, LevelsColumn::kGain);
  if (daValues) width += m.gap + ValueWidth(m, LevelsColumn::kDa);
  return width;
}

int LevelsWindowRowWidth(
    LevelsMeasures m, const std::function<int(const std::vector<std::string_view>&)>& widestName) {
  int width = 0;
  for (const LevelsTableKind& kind : LevelsTableKinds()) {
    m.name = widestName(kind.names);
    width = std::max(width, LevelsRowWidth(m, kind.gains, kind.daValues));
  }
  return width;
}

ScreenBox PlaceBeside(const ScreenBox& workArea, const ScreenBox& main, int width, int height) {
  ScreenBox box{main.Right(), main.top, width, height};
  if (box.Right() > workArea.Right()) box.left = std::max(workArea.left, main.left - width);
  box.top = std::max(workArea.top, std::min(main.top, workArea.Bottom() - height));
  return box;
}
