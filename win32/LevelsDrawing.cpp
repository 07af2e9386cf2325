#include "win32/LevelsDrawing.h"

#include <algorithm>
#include <string>

#include "win32/Design.h"
#include "win32/Text.h"

namespace {

constexpr int kMostChannels = 24;
constexpr int kScale = 256;  // levels 0 to 255
constexpr int kPreferredTrack = 200;
constexpr int kSummaryLines = 2;
constexpr const wchar_t* kLegend =
    L"Each bar: the level on the scale 0 to 255; hatched, the channel's window.";
// The widest texts each column must hold.
constexpr const wchar_t* kWidestName = L"front, no paper";
constexpr const wchar_t* kWidestWord = L"high";
constexpr const wchar_t* kWidestValues = L"level 255, window 255 to 255, gain 255, D/A 255";

COLORREF StateColour(ChannelState state) {
  switch (state) {
    case ChannelState::kInside:
      return RGB(0x2e, 0x7d, 0x32);
    case ChannelState::kBelow:
    case ChannelState::kAbove:
      return RGB(0xb0, 0x5a, 0x00);
    case ChannelState::kJudgedBad:
      return RGB(0xc6, 0x28, 0x28);
  }
  return RGB(0, 0, 0);
}

COLORREF Mix(COLORREF over, COLORREF under, int overOf255) {
  const auto part = [overOf255](BYTE a, BYTE b) {
    return static_cast<BYTE>((a * overOf255 + b * (255 - overOf255)) / 255);
  };
  return RGB(part(GetRValue(over), GetRValue(under)), part(GetGValue(over), GetGValue(under)),
             part(GetBValue(over), GetBValue(under)));
}

void Fill(HDC dc, const RECT& box, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

void Frame(HDC dc, const RECT& box, COLORREF colour, int width) {
  const HPEN pen = CreatePen(PS_INSIDEFRAME, width, colour);
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, box.left, box.top, box.right, box.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

int TextWidth(HDC dc, HFONT font, const std::wstring& text) {
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  return size.cx;
}

int LineHeight(HDC dc, HFONT font) {
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  return metrics.tmHeight;
}

void Text(HDC dc, HFONT font, const std::wstring& text, RECT box, UINT format) {
  const HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_NOPREFIX);
  SelectObject(dc, old);
}

struct Columns {
  int gap = 0, mark = 0, name = 0, values = 0, row = 0;
};

Columns ColumnsOf(HDC dc, const LevelsFonts& fonts, UINT dpi) {
  Columns c;
  c.gap = design::Scaled(8, dpi);
  const int line = LineHeight(dc, fonts.plain);
  const auto widest = [&](const wchar_t* text) {
    return std::max(TextWidth(dc, fonts.plain, text), TextWidth(dc, fonts.bold, text)) + c.gap;
  };
  c.mark = line + 4 + widest(kWidestWord);
  c.name = widest(kWidestName);
  c.values = widest(kWidestValues);
  c.row = line + design::Scaled(6, dpi);
  return c;
}

// A tick for in, a triangle pointing the way the level is off, a cross for judged bad.
void DrawMark(HDC dc, const RECT& box, ChannelState state, UINT dpi) {
  const COLORREF colour = StateColour(state);
  const int side = box.bottom - box.top - 4;
  const int left = box.left + 2;
  const int top = box.top + 2;
  if (state == ChannelState::kBelow || state == ChannelState::kAbove) {
    const bool below = state == ChannelState::kBelow;
    const POINT triangle[] = {{left, below ? top : top + side},
                              {left + side, below ? top : top + side},
                              {left + side / 2, below ? top + side : top}};
    const HBRUSH brush = CreateSolidBrush(colour);
    const HGDIOBJ oldBrush = SelectObject(dc, brush);
    const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, triangle, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    return;
  }
  const HPEN pen =
      CreatePen(PS_SOLID, design::Scaled(state == ChannelState::kInside ? 3 : 4, dpi), colour);
  const HGDIOBJ old = SelectObject(dc, pen);
  if (state == ChannelState::kInside) {
    const POINT tick[] = {
        {left, top + side / 2}, {left + side * 2 / 5, top + side}, {left + side, top}};
    Polyline(dc, tick, 3);
  } else {
    MoveToEx(dc, left, top, nullptr);
    LineTo(dc, left + side, top + side);
    MoveToEx(dc, left + side, top, nullptr);
    LineTo(dc, left, top + side);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

// The scale 0 to 255: the level as a filled bar, the window as a hatched band with solid edges.
void DrawTrack(HDC dc, const RECT& track, const ChannelReading& channel, ChannelState state) {
  const auto x = [&track](int level) {
    return track.left + (track.right - track.left) * level / kScale;
  };
  Fill(dc, track, GetSysColor(COLOR_WINDOW));
  Frame(dc, track, GetSysColor(COLOR_BTNSHADOW), 1);
  const RECT window{x(channel.lowest), track.top, x(channel.highest + 1), track.bottom};
  Fill(dc, window, GetSysColor(COLOR_BTNFACE));
  const HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, GetSysColor(COLOR_BTNSHADOW));
  SetBkMode(dc, TRANSPARENT);
  FillRect(dc, &window, hatch);
  DeleteObject(hatch);

  const int inset = (track.bottom - track.top) / 4;
  Fill(dc, RECT{track.left, track.top + inset, x(channel.level + 1), track.bottom - inset},
       StateColour(state));
  for (const LONG edge : {window.left, window.right}) {
    Fill(dc, RECT{edge - 1, track.top, edge + 1, track.bottom}, GetSysColor(COLOR_WINDOWTEXT));
  }
}

// A count against its most with its text on it, or a block running along a busy one.
void DrawBar(HDC dc, const RECT& bar, const BarSetting& setting, unsigned busyPhase,
             const LevelsFonts& fonts) {
  Fill(dc, bar, GetSysColor(COLOR_WINDOW));
  const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  const int width = bar.right - bar.left;
  if (setting.busy) {
    const int block = width / 5;
    const int at = static_cast<int>(busyPhase * 7u % static_cast<unsigned>(width + block)) - block;
    Fill(dc,
         RECT{std::max(bar.left, bar.left + at), bar.top,
              std::min(bar.right, bar.left + at + block), bar.bottom},
         fill);
  } else if (setting.maximum > 0) {
    const int value = std::clamp(setting.value, 0, setting.maximum);
    Fill(dc, RECT{bar.left, bar.top, bar.left + width * value / setting.maximum, bar.bottom},
         Mix(fill, GetSysColor(COLOR_WINDOW), 110));
  }
  Frame(dc, bar, GetSysColor(COLOR_BTNSHADOW), 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  Text(dc, fonts.plain, Wide(setting.text), bar, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawChannel(HDC dc, const RECT& row, const Columns& c, const LevelsPicture& picture,
                 const ChannelReading& channel, const LevelsFonts& fonts, UINT dpi) {
  const ChannelState state = picture.StateOf(channel);
  const bool judgedBad = state == ChannelState::kJudgedBad;
  if (judgedBad) {
    // Marked beyond the colour: a heavy frame round the whole line, its word and name in bold.
    Fill(dc, row, Mix(StateColour(state), GetSysColor(COLOR_BTNFACE), 40));
    Frame(dc, row, StateColour(state), design::Scaled(2, dpi));
  }
  const RECT inner{row.left + c.gap / 2, row.top + 2, row.right - c.gap / 2, row.bottom - 2};
  const RECT mark{inner.left, inner.top, inner.left + c.mark, inner.bottom};
  const RECT name{mark.right, inner.top, mark.right + c.name, inner.bottom};
  const RECT values{inner.right - c.values + c.gap, inner.top, inner.right, inner.bottom};
  const RECT track{name.right, inner.top + 1, values.left - c.gap, inner.bottom - 1};

  const int markSide = inner.bottom - inner.top;
  DrawMark(dc, RECT{mark.left, mark.top, mark.left + markSide, mark.bottom}, state, dpi);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const HFONT labelFont = judgedBad ? fonts.bold : fonts.plain;
  const UINT oneLine = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  Text(dc, labelFont, Wide(std::string(ChannelStateWord(state))),
       RECT{mark.left + markSide + 4, mark.top, mark.right, mark.bottom}, oneLine);
  Text(dc, labelFont, Wide(std::string(channel.name)), name, oneLine);
  DrawTrack(dc, track, channel, state);
  Text(dc, fonts.plain, Wide(LevelsPicture::ValuesText(channel)), values, oneLine);
}

}  // namespace

SIZE LevelsClientSize(HDC dc, const LevelsFonts& fonts, UINT dpi) {
  const Columns c = ColumnsOf(dc, fonts, dpi);
  const int margin = design::Scaled(12, dpi);
  const int line = LineHeight(dc, fonts.plain);
  const int width =
      c.gap + c.mark + c.name + design::Scaled(kPreferredTrack, dpi) + c.gap + c.values;
  const int header = LineHeight(dc, fonts.heading) + 2 * (line + design::Scaled(8, dpi)) +
                     kSummaryLines * line + 2 * line + 4 * design::Scaled(6, dpi);
  return {width + 2 * margin, 2 * margin + header + kMostChannels * c.row};
}

void DrawLevels(HDC dc, const RECT& client, const LevelsPicture& picture, bool stageRunning,
                unsigned busyPhase, const LevelsFonts& fonts, UINT dpi) {
  Fill(dc, client, GetSysColor(COLOR_BTNFACE));
  const Columns c = ColumnsOf(dc, fonts, dpi);
  const int margin = design::Scaled(12, dpi);
  const int space = design::Scaled(6, dpi);
  const int line = LineHeight(dc, fonts.plain);
  const int left = client.left + margin;
  const int right = client.right - margin;
  int top = client.top + margin;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

  const int heading = LineHeight(dc, fonts.heading);
  Text(dc, fonts.heading, Wide(picture.StepText()), RECT{left, top, right, top + heading},
       DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
  top += heading + space;

  const int barHeight = line + design::Scaled(8, dpi);
  DrawBar(dc, RECT{left, top, right, top + barHeight}, picture.CountBar(stageRunning), busyPhase,
          fonts);
  top += barHeight + space;
  // The second bar keeps its room when the step has none, so that nothing below it jumps.
  if (const auto detail = picture.DetailBar()) {
    DrawBar(dc, RECT{left, top, right, top + barHeight}, *detail, busyPhase, fonts);
  }
  top += barHeight + space;

  Text(dc, fonts.plain, Wide(picture.SummaryText()),
       RECT{left, top, right, top + kSummaryLines * line}, DT_LEFT | DT_WORDBREAK);
  top += kSummaryLines * line;
  Text(dc, fonts.plain, kLegend, RECT{left, top, right, top + 2 * line}, DT_LEFT | DT_WORDBREAK);
  top += 2 * line + space;
  Fill(dc, RECT{left, top, right, top + 1}, GetSysColor(COLOR_BTNSHADOW));
  Fill(dc, RECT{left, top + 1, right, top + 2}, GetSysColor(COLOR_BTNHIGHLIGHT));
  top += space;

  for (const ChannelReading& channel : picture.Channels()) {
    DrawChannel(dc, RECT{left - c.gap / 2, top, right + c.gap / 2, top + c.row}, c, picture,
                channel, fonts, dpi);
    top += c.row;
  }
}
