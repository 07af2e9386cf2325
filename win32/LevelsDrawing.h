#pragma once

#include "link/WindowsApi.h"
#include "run/LevelsLayout.h"
#include "run/LevelsPicture.h"

// How the Levels window draws its picture: the step, its progress, its judgement, and a table of
// one row per channel under a header row: a mark and a word for its state, its name, its level
// as a bar over the scale 0 to 255 with its window hatched, and its level, gain and D/A value
// where the step has them. The state reads without colour (the mark's shape and the word).
struct LevelsFonts {
  HFONT plain = nullptr;
  HFONT bold = nullptr;
  HFONT heading = nullptr;
};

// What the drawing measures once for each scale: the heights of the parts and the table's
// measures, its name column as wide as the widest name a step reports.
struct LevelsLook {
  LevelsFonts fonts;
  UINT dpi = 96;
  LevelsMeasures table;
  int rowWidth = 0;  // the table's, wide enough for every kind of table
  int margin = 0, space = 0, line = 0, heading = 0, bar = 0, legend = 0, row = 0;
};

LevelsLook MeasureLevels(HDC dc, const LevelsFonts& fonts, UINT dpi);

// The client area that holds the largest channel set.
SIZE LevelsClientSize(const LevelsLook& look);

// Where the parts lie in the client area: the step and its bars, the judgement, and each row.
RECT LevelsTopPart(const LevelsLook& look, const RECT& client);
RECT LevelsRow(const LevelsLook& look, const RECT& client, std::size_t row);

// Draws what lies within dirty; busyPhase moves the block of a busy bar along.
void DrawLevels(HDC dc, const RECT& client, const RECT& dirty, const LevelsPicture& picture,
                bool stageRunning, unsigned busyPhase, const LevelsLook& look);
