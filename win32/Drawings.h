#pragma once

#include "link/WindowsApi.h"

// The tool's own mark, drawn with GDI shapes only: a note passing under a sensor bar with its
// green, red and infra-red channels. The same mark as the program's icon.
void DrawLogo(HDC dc, const RECT& box);

// The glyphs of the OK and Cancel kinds of button, as icons of the given side in pixels.
enum class Glyph { kTick, kCross };
HICON MakeGlyph(Glyph glyph, int side);
