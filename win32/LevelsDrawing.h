#pragma once

#include "link/WindowsApi.h"
#include "run/LevelsPicture.h"

// How the Levels window draws its picture: the step, its progress, its judgement, and one line
// per channel with a mark and a word for its state, its name, its level as a bar over the scale
// 0 to 255 with its window hatched, and its values as text. The state reads without colour (the
// mark's shape and the word).
struct LevelsFonts {
  HFONT plain = nullptr;
  HFONT bold = nullptr;
  HFONT heading = nullptr;
};

// The client area that holds the largest channel set.
SIZE LevelsClientSize(HDC dc, const LevelsFonts& fonts, UINT dpi);

// busyPhase moves the block of a busy bar along.
void DrawLevels(HDC dc, const RECT& client, const LevelsPicture& picture, bool stageRunning,
                unsigned busyPhase, const LevelsFonts& fonts, UINT dpi);
