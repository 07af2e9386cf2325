#include "win32/RadioGroup.h"

int RadioGroup::ItemIndex() const {
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (SendMessageW(Entries[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
  }
  return -1;
}

void RadioGroup::SetItemIndex(int index) const {
  if (Entries.empty()) return;
  const int last = static_cast<int>(Entries.size()) - 1;
  const int chosen = index < 0 ? -1 : (index > last ? last : index);
  for (int i = 0; i <= last; ++i) {
    SendMessageW(Entries[static_cast<std::size_t>(i)], BM_SETCHECK,
                 i == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

int RadioGroup::IndexOf(HWND control) const {
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (Entries[i] == control) return static_cast<int>(i);
  }
  return -1;
}
