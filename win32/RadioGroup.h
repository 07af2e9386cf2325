#pragma once

#include <vector>

#include "link/WindowsApi.h"

// A captioned box of radio buttons with one entry chosen by index, the kind of control the
// settings dialog offers its choices in. The entries are the dialog's own children (the box is
// only drawn round them), so that their clicks and arrow keys reach the dialog.
struct RadioGroup {
  HWND Box = nullptr;
  std::vector<HWND> Entries;

  // -1 when no entry is chosen.
  int ItemIndex() const;
  // Chooses an entry without a click. An index past the last entry chooses the last one; a
  // negative index chooses none.
  void SetItemIndex(int index) const;
  // The entry's index, or -1 when the control is none of them.
  int IndexOf(HWND control) const;
};
