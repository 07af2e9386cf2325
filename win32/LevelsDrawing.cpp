#include "win32/LevelsDrawing.h"

#include <algorithm>
#include <string>
#include <vector>

#include "run/LevelsLook.h"
#include "win32/Design.h"
#include "win32/Text.h"

namespace {

COLORREF ToColorRef(levels::Colour colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

levels::Colour ToColour(COLORREF colour) {
  return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

COLORREF StateColour(ChannelState state) {
  return ToColorRef(levels::StateColour(state));
}

COLORREF Mix(COLORREF over, COLORREF under, int overOf255) {
  return ToColorRef(levels::Mix(ToColour(over), ToColour(under), overOf255));
}

void Fill(HDC dc, const RECT& box, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

// An outline as four filled strips inside the box.
void Frame(HDC dc, const RECT& box, COLORREF colour, int width) {
  Fill(dc, RECT{box.left, box.top, box.right, box.top + width}, colour);
  Fill(dc, RECT{box.left, box.bottom - width, box.right, box.bottom}, colour);
  Fill(dc, RECT{box.left, box.top, box.left + width, box.bottom}, colour);
  Fill(dc, RECT{box.right - width, box.top, box.right, box.bottom}, colour);
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

// Returns the box as DrawTextW left it: with DT_CALCRECT, the box the text needs.
RECT Text(HDC dc, HFONT font, const std::wstring& text, RECT box, UINT format) {
  const HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_NOPREFIX);
  SelectObject(dc, old);
  return box;
}

std::wstring WideOf(std::string_view text) {
  return Wide(std::string(text));
}

// The widest of these names in either weight.
int WidestName(HDC dc, const LevelsFonts& fonts, const std::vector<std::string_view>& names) {
  int widest = 0;
  for (const std::string_view name : names) {
    const std::wstring text = WideOf(name);
    widest = std::max({widest, TextWidth(dc, fonts.plain, text), TextWidth(dc, fonts.bold, text)});
  }
  return widest;
}

// Top edges of the parts, from the client area's top.
struct Tops {
  int heading, count, detail, summary, legend, rule, header, rows;
};

Tops TopsOf(const LevelsLook& look, int top) {
  Tops t{};
  t.heading = top + look.margin;
  t.count = t.heading + look.heading + look.space;
  t.detail = t.count + look.bar + look.space;
  t.summary = t.detail + look.bar + look.space;
  t.legend = t.summary + levels::kSummaryLines * look.line + look.space;
  t.rule = t.legend + look.legend + look.space;
  t.header = t.rule + 2 + look.space;
  t.rows = t.header + look.row;
  return t;
}

// A tick for in, a triangle pointing the way the level is off, a cross for judged bad.
void DrawMark(HDC dc, const RECT& box, ChannelState state, UINT dpi) {
  const COLORREF colour = StateColour(state);
  const int side = box.right - box.left;
  const int left = box.left;
  const int top = (box.top + box.bottom - side) / 2;
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

// The scale 0 to 255: the level as a filled bar, the window as a hatched band between two edge
// lines.
void DrawTrack(HDC dc, const RECT& track, const ChannelReading& channel, ChannelState state) {
  const auto x = [&track](int level) {
    return track.left + (track.right - track.left) * level / levels::kScale;
  };
  Fill(dc, track, GetSysColor(COLOR_WINDOW));
  const RECT window{x(channel.lowest), track.top, x(channel.highest + 1), track.bottom};
  Fill(dc, window, GetSysColor(COLOR_BTNFACE));
  const HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, GetSysColor(COLOR_BTNSHADOW));
  SetBkMode(dc, TRANSPARENT);
  FillRect(dc, &window, hatch);
  DeleteObject(hatch);

  const int inset = (track.bottom - track.top) / 4;
  Fill(dc, RECT{track.left, track.top + inset, x(channel.level + 1), track.bottom - inset},
       StateColour(state));
  const COLORREF edge = GetSysColor(COLOR_WINDOWTEXT);
  Fill(dc, RECT{window.left, track.top, window.left + 1, track.bottom}, edge);
  Fill(dc, RECT{window.right - 1, track.top, window.right, track.bottom}, edge);
  Frame(dc, track, GetSysColor(COLOR_BTNSHADOW), 1);
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
         Mix(fill, GetSysColor(COLOR_WINDOW), levels::kCountFillTint));
  }
  Frame(dc, bar, GetSysColor(COLOR_BTNSHADOW), 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  Text(dc, fonts.plain, Wide(setting.text), bar, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawHeader(HDC dc, const RECT& row, const LevelsColumns& c, const LevelsFonts& fonts) {
  Fill(dc, row, GetSysColor(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const UINT line = DT_SINGLELINE | DT_VCENTER;
  const auto cell = [&](const Span& span, std::string_view title, UINT align) {
    if (span.Width() <= 0) return;
    Text(dc, fonts.plain, WideOf(title),
         RECT{row.left + span.left, row.top, row.left + span.right, row.bottom}, line | align);
  };
  cell({c.mark.left, c.word.right}, LevelsColumnTitle(LevelsColumn::kState), DT_LEFT);
  cell(c.name, LevelsColumnTitle(LevelsColumn::kName), DT_LEFT);
  cell(c.bar, kScaleLeast, DT_LEFT);
  cell(c.bar, kScaleMost, DT_RIGHT);
  cell(c.level, LevelsColumnTitle(LevelsColumn::kLevel), DT_RIGHT);
  cell(c.gain, LevelsColumnTitle(LevelsColumn::kGain), DT_RIGHT);
  cell(c.da, LevelsColumnTitle(LevelsColumn::kDa), DT_RIGHT);
}

void DrawChannel(HDC dc, const RECT& row, const LevelsColumns& c, const ChannelReading& channel,
                 ChannelState state, const LevelsLook& look) {
  const bool judgedBad = state == ChannelState::kJudgedBad;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Fill(dc, row, judgedBad ? Mix(StateColour(state), face, levels::kJudgedBadTint) : face);
  const auto box = [&row](const Span& span) {
    return RECT{row.left + span.left, row.top, row.left + span.right, row.bottom};
  };
  DrawMark(dc, box(c.mark), state, look.dpi);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  // Marked beyond the colour: a heavy frame round the whole row, its word and name in bold.
  const HFONT label = judgedBad ? look.fonts.bold : look.fonts.plain;
  const UINT line = DT_SINGLELINE | DT_VCENTER;
  Text(dc, label, WideOf(ChannelStateWord(state)), box(c.word), line | DT_LEFT);
  Text(dc, label, WideOf(channel.name), box(c.name), line | DT_LEFT);
  RECT track = box(c.bar);
  InflateRect(&track, 0, -3);
  DrawTrack(dc, track, channel, state);
  SetBkMode(dc, TRANSPARENT);
  const auto number = [&](const Span& span, std::optional<std::uint8_t> value) {
    if (value && span.Width() > 0) {
      Text(dc, look.fonts.plain, std::to_wstring(*value), box(span), line | DT_RIGHT);
    }
  };
  number(c.level, channel.level);
  number(c.gain, channel.gain);
  number(c.da, channel.daValue);
  if (judgedBad) Frame(dc, row, StateColour(state), design::Scaled(2, look.dpi));
}

bool Meets(const RECT& a, const RECT& b) {
  RECT both{};
  return IntersectRect(&both, &a, &b) != FALSE;
}

}  // namespace

LevelsLook MeasureLevels(HDC dc, const LevelsFonts& fonts, UINT dpi) {
  LevelsLook look;
  look.fonts = fonts;
  look.dpi = dpi;
  look.margin = design::Scaled(levels::kMargin, dpi);
  look.space = design::Scaled(levels::kSpacing, dpi);
  look.line = LineHeight(dc, fonts.plain);
  look.heading = LineHeight(dc, fonts.heading);
  look.bar = look.line + design::Scaled(8, dpi);
  look.row = look.line + design::Scaled(levels::kRowSpace, dpi);

  LevelsMeasures& m = look.table;
  m.margin = design::Scaled(levels::kRowMargin, dpi);
  m.gap = design::Scaled(levels::kGap, dpi);
  m.narrowGap = design::Scaled(levels::kNarrowGap, dpi);
  m.mark = look.line - 4;
  for (const ChannelState state : {ChannelState::kInside, ChannelState::kBelow,
                                   ChannelState::kAbove, ChannelState::kJudgedBad}) {
    const std::wstring word = WideOf(ChannelStateWord(state));
    m.word = std::max({m.word, TextWidth(dc, fonts.plain, word), TextWidth(dc, fonts.bold, word)});
  }
  m.number = TextWidth(dc, fonts.plain, L"255");
  m.bar = std::max(design::Scaled(levels::kLeastBar, dpi),
                   TextWidth(dc, fonts.plain, WideOf(kScaleLeast)) + m.gap +
                       TextWidth(dc, fonts.plain, WideOf(kScaleMost)));
  for (std::size_t i = 0; i < kLevelsColumns; ++i) {
    m.titles[i] =
        TextWidth(dc, fonts.plain, WideOf(LevelsColumnTitle(static_cast<LevelsColumn>(i))));
  }
  look.rowWidth = LevelsWindowRowWidth(
      m, [&](const std::vector<std::string_view>& names) { return WidestName(dc, fonts, names); });
  m.name = WidestName(dc, fonts, LevelsTableKinds().front().names);

  const RECT legend = Text(dc, fonts.plain, WideOf(levels::kLegend), RECT{0, 0, look.rowWidth, 0},
                           DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
  look.legend = legend.bottom - legend.top;
  return look;
}

SIZE LevelsClientSize(const LevelsLook& look) {
  const Tops t = TopsOf(look, 0);
  return {look.rowWidth + 2 * look.margin,
          t.rows + static_cast<int>(levels::kMostChannels) * look.row + look.margin};
}

RECT LevelsTopPart(const LevelsLook& look, const RECT& client) {
  return {client.left, client.top, client.right, TopsOf(look, client.top).rows};
}

RECT LevelsRow(const LevelsLook& look, const RECT& client, std::size_t row) {
  const int top = TopsOf(look, client.top).rows + static_cast<int>(row) * look.row;
  return {client.left + look.margin, top, client.right - look.margin, top + look.row};
}

void DrawLevels(HDC dc, const RECT& client, const RECT& dirty, const LevelsPicture& picture,
                bool stageRunning, unsigned busyPhase, const LevelsLook& look) {
  const Tops t = TopsOf(look, client.top);
  const int left = client.left + look.margin;
  const int right = client.right - look.margin;
  const LevelsFonts& fonts = look.fonts;
  const std::vector<ChannelReading>& channels = picture.Channels();
  std::vector<std::string_view> names;
  for (const ChannelReading& channel : channels) names.push_back(channel.name);
  LevelsMeasures measures = look.table;
  measures.name = WidestName(dc, fonts, names);
  const LevelsColumns columns =
      PlaceLevelsColumns(measures, right - left, picture.HasGains(), picture.HasDaValues());

  if (Meets(LevelsTopPart(look, client), dirty)) {
    Fill(dc, LevelsTopPart(look, client), GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    Text(dc, fonts.heading, Wide(picture.StepText()), RECT{left, t.heading, right, t.count},
         DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    DrawBar(dc, RECT{left, t.count, right, t.count + look.bar}, picture.CountBar(stageRunning),
            busyPhase, fonts);
    // The second bar keeps its room when the step has none, so that nothing below it jumps.
    if (const auto detail = picture.DetailBar()) {
      DrawBar(dc, RECT{left, t.detail, right, t.detail + look.bar}, *detail, busyPhase, fonts);
    }
    SetBkMode(dc, TRANSPARENT);
    Text(dc, fonts.plain, Wide(picture.SummaryText()),
         RECT{left, t.summary, right, t.summary + levels::kSummaryLines * look.line},
         DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS);
    Text(dc, fonts.plain, WideOf(levels::kLegend),
         RECT{left, t.legend, right, t.legend + look.legend}, DT_LEFT | DT_WORDBREAK);
    Fill(dc, RECT{left, t.rule, right, t.rule + 1}, GetSysColor(COLOR_BTNSHADOW));
    Fill(dc, RECT{left, t.rule + 1, right, t.rule + 2}, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawHeader(dc, RECT{left, t.header, right, t.rows}, columns, fonts);
  }
  for (std::size_t i = 0; i < levels::kMostChannels; ++i) {
    const RECT row = LevelsRow(look, client, i);
    if (!Meets(row, dirty)) continue;
    Fill(dc, RECT{client.left, row.top, client.right, row.bottom}, GetSysColor(COLOR_BTNFACE));
    if (i < channels.size()) {
      DrawChannel(dc, row, columns, channels[i], picture.StateOf(channels[i]), look);
    }
  }
  const RECT below{client.left, LevelsRow(look, client, levels::kMostChannels).top, client.right,
                   client.bottom};
  if (Meets(below, dirty)) Fill(dc, below, GetSysColor(COLOR_BTNFACE));
}
