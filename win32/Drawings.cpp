#include "win32/Drawings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr COLORREF kNavy = RGB(22, 52, 96);
constexpr COLORREF kNote = RGB(236, 228, 196);
constexpr COLORREF kNoteEdge = RGB(150, 138, 96);
constexpr COLORREF kGreen = RGB(46, 160, 67);
constexpr COLORREF kRed = RGB(214, 48, 49);
constexpr COLORREF kInfraRed = RGB(128, 24, 64);
constexpr COLORREF kBeam = RGB(255, 214, 64);
constexpr BYTE kBeamOpacity = 140;  // 55%

// The mark lives in a box of 2 by 1 units; GDI's world space counts in thousandths of a unit.
constexpr int kUnit = 1000;

XFORM MarkSpace(const RECT& box, int originX, int originY) {
  XFORM space{};
  space.eM11 = static_cast<FLOAT>(box.right - box.left) / (2.0F * kUnit);
  space.eM22 = static_cast<FLOAT>(box.bottom - box.top) / static_cast<FLOAT>(kUnit);
  space.eDx = static_cast<FLOAT>(box.left - originX);
  space.eDy = static_cast<FLOAT>(box.top - originY);
  return space;
}

class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

void FillShape(HDC dc, COLORREF colour, auto&& draw) {
  const HBRUSH brush = CreateSolidBrush(colour);
  {
    Selected pen(dc, GetStockObject(NULL_PEN));
    Selected fill(dc, brush);
    draw();
  }
  DeleteObject(brush);
}

void DrawNote(HDC dc, const XFORM& space) {
  // Tilted a little as it enters the transport, about its centre (1.0, 0.58).
  constexpr double kTilt = -8.0 * std::numbers::pi / 180.0;
  XFORM tilt{};
  tilt.eM11 = static_cast<FLOAT>(std::cos(kTilt));
  tilt.eM12 = static_cast<FLOAT>(std::sin(kTilt));
  tilt.eM21 = -tilt.eM12;
  tilt.eM22 = tilt.eM11;
  tilt.eDx = 1.0F * kUnit;
  tilt.eDy = 0.58F * kUnit;
  XFORM both{};
  CombineTransform(&both, &tilt, &space);
  SetWorldTransform(dc, &both);

  const HPEN edge = CreatePen(PS_SOLID, 30, kNoteEdge);
  const HBRUSH paper = CreateSolidBrush(kNote);
  {
    Selected pen(dc, edge);
    Selected fill(dc, paper);
    Rectangle(dc, -780, -260, 780, 260);
  }
  DeleteObject(edge);
  DeleteObject(paper);
  FillShape(dc, kNoteEdge, [dc] { Ellipse(dc, -130, -130, 130, 130); });
  SetWorldTransform(dc, &space);
}

void DrawBeam(HDC dc) {
  const POINT beam[] = {{860, 240}, {1140, 240}, {1240, 900}, {760, 900}};
  FillShape(dc, kBeam, [dc, &beam] { Polygon(dc, beam, 4); });
}

// The beam lets the note show through: drawn opaque on a copy of the box, and the copy laid over
// the box at the beam's opacity (outside the beam the copy equals the box).
void BlendBeam(HDC dc, const RECT& box) {
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  HDC copy = CreateCompatibleDC(dc);
  const HBITMAP pixels = CreateCompatibleBitmap(dc, width, height);
  const HGDIOBJ old = SelectObject(copy, pixels);
  BitBlt(copy, 0, 0, width, height, dc, box.left, box.top, SRCCOPY);
  SetGraphicsMode(copy, GM_ADVANCED);
  const XFORM space = MarkSpace(box, box.left, box.top);
  SetWorldTransform(copy, &space);
  DrawBeam(copy);
  // Plain pixels again for the blend, whose source would be taken through the transform.
  ModifyWorldTransform(copy, nullptr, MWT_IDENTITY);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, kBeamOpacity, 0};
  GdiAlphaBlend(dc, box.left, box.top, width, height, copy, 0, 0, width, height, blend);
  SelectObject(copy, old);
  DeleteObject(pixels);
  DeleteDC(copy);
}

}  // namespace

void DrawLogo(HDC dc, const RECT& box) {
  // Drawn whole off screen on the window's face, then put up in one copy: the beam's blend reads
  // back what lies under it, which only a memory bitmap reliably gives.
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  HDC mark = CreateCompatibleDC(dc);
  const HBITMAP pixels = CreateCompatibleBitmap(dc, width, height);
  const HGDIOBJ old = SelectObject(mark, pixels);
  const RECT area{0, 0, width, height};
  FillRect(mark, &area, GetSysColorBrush(COLOR_BTNFACE));

  SetGraphicsMode(mark, GM_ADVANCED);
  const XFORM space = MarkSpace(area, 0, 0);
  SetWorldTransform(mark, &space);
  FillShape(mark, kNavy, [mark] { RoundRect(mark, 0, 0, 2 * kUnit, kUnit, 320, 320); });
  DrawNote(mark, space);
  ModifyWorldTransform(mark, nullptr, MWT_IDENTITY);
  BlendBeam(mark, area);
  SetWorldTransform(mark, &space);
  // The sensor bar across the top: one lamp per channel.
  const COLORREF channels[] = {kGreen, kRed, kInfraRed};
  for (int i = 0; i < 3; ++i) {
    const int left = 280 + 500 * i;
    FillShape(mark, channels[i],
              [mark, left] { RoundRect(mark, left, 100, left + 440, 240, 80, 80); });
  }
  ModifyWorldTransform(mark, nullptr, MWT_IDENTITY);

  BitBlt(dc, box.left, box.top, width, height, mark, 0, 0, SRCCOPY);
  SelectObject(mark, old);
  DeleteObject(pixels);
  DeleteDC(mark);
}

HICON MakeGlyph(Glyph glyph, int side) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  const HBITMAP colour = CreateCompatibleBitmap(screen, side, side);
  const HBITMAP mask = CreateBitmap(side, side, 1, 1, nullptr);
  ReleaseDC(nullptr, screen);

  const int width = std::max(2, side / 6);
  const int a = side / 6;
  const int b = side - 1 - side / 6;
  const auto strokes = [&](HDC target, COLORREF ink) {
    const HPEN pen = CreatePen(PS_SOLID, width, ink);
    const HGDIOBJ old = SelectObject(target, pen);
    if (glyph == Glyph::kTick) {
      const POINT tick[] = {{a, side / 2}, {side * 2 / 5, b}, {b, a}};
      Polyline(target, tick, 3);
    } else {
      MoveToEx(target, a, a, nullptr);
      LineTo(target, b, b);
      MoveToEx(target, b, a, nullptr);
      LineTo(target, a, b);
    }
    SelectObject(target, old);
    DeleteObject(pen);
  };
  const RECT all{0, 0, side, side};
  // Colour: the strokes on black; mask: black where the strokes are, white (transparent) else.
  HGDIOBJ old = SelectObject(dc, colour);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  strokes(dc, glyph == Glyph::kTick ? kGreen : kRed);
  SelectObject(dc, mask);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  strokes(dc, RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);

  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = colour;
  const HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  return icon;
}
