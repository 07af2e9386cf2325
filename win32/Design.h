#pragma once

#include <memory>
#include <type_traits>

#include "link/WindowsApi.h"

// The windows were laid out on a screen of 120 pixels per inch. Every designed length is scaled
// to the pixels per inch of the monitor the window is on, so that a window keeps its designed
// physical size at any scale and follows when it moves to a monitor of another scale.
namespace design {

inline constexpr int kDesignDpi = 120;

inline int Scaled(int designPixels, UINT dpi) {
  return MulDiv(designPixels, static_cast<int>(dpi), kDesignDpi);
}

UINT DpiOf(HWND window);

// A control's designed place: left, top, width and height at 120 pixels per inch.
struct Box {
  int left, top, width, height;
};

// Moves a control to its designed place at the window's scale.
void Place(HWND control, int left, int top, int width, int height, UINT dpi);
inline void Place(HWND control, const Box& box, UINT dpi) {
  Place(control, box.left, box.top, box.width, box.height, dpi);
}

// The window's outer size for a designed client area, its menu bar included.
SIZE OuterSize(HWND window, int clientWidth, int clientHeight, UINT dpi);

struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// Century when it is installed, else the nearest serif face, at a designed pixel height.
Font CenturyFont(int designPixelHeight, UINT dpi, bool underline = false, bool bold = false);

// Sets a control's font without redrawing it now.
void SetFont(HWND control, HFONT font);

// The size of a text in a font.
SIZE TextSize(HWND window, HFONT font, const wchar_t* text);

}  // namespace design
