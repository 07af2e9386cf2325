#include "run/LevelsLook.h"

#include <algorithm>

namespace levels {

Colour StateColour(ChannelState state) {
  switch (state) {
    case ChannelState::kInside:
      return {0x2e, 0x7d, 0x32};
    case ChannelState::kBelow:
    case ChannelState::kAbove:
      return {0xb0, 0x5a, 0x00};
    case ChannelState::kJudgedBad:
      return {0xc6, 0x28, 0x28};
  }
  return {};
}

Colour Mix(Colour over, Colour under, int overOf255) {
  const auto part = [overOf255](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>((a * overOf255 + b * (255 - overOf255)) / 255);
  };
  return {part(over.red, under.red), part(over.green, under.green), part(over.blue, under.blue)};
}

Tick Refresh::OnTick(bool changed, bool stageRunning, bool countBusy) {
  const bool ended = stageRunning != shownRunning_;
  shownRunning_ = stageRunning;
  return {.redraw = changed || ended,
          .advanceBusy = stageRunning && countBusy,
          .stop = !changed && !stageRunning};
}

Frame FrameOf(const LevelsPicture& picture, bool stageRunning) {
  Frame frame{.step = picture.StepText(),
              .summary = picture.SummaryText(),
              .count = picture.CountBar(stageRunning),
              .detail = picture.DetailBar(),
              .gains = picture.HasGains(),
              .daValues = picture.HasDaValues(),
              .channels = picture.Channels(),
              .states = {}};
  for (const ChannelReading& channel : frame.channels) {
    frame.states.push_back(picture.StateOf(channel));
  }
  return frame;
}

Changes Compare(const Frame& before, const Frame& now) {
  const bool names = !std::equal(
      now.channels.begin(), now.channels.end(), before.channels.begin(), before.channels.end(),
      [](const ChannelReading& a, const ChannelReading& b) { return a.name == b.name; });
  const bool columns = names || now.gains != before.gains || now.daValues != before.daValues;
  Changes changes;
  changes.top = columns || now.count.busy || now.step != before.step ||
                now.summary != before.summary || now.count != before.count ||
                now.detail != before.detail;
  const std::size_t rows = std::max(now.channels.size(), before.channels.size());
  for (std::size_t i = 0; i < rows; ++i) {
    const bool same = !columns && i < now.channels.size() && i < before.channels.size() &&
                      now.channels[i] == before.channels[i] && now.states[i] == before.states[i];
    if (!same) changes.rows.push_back(i);
  }
  return changes;
}

}  // namespace levels
