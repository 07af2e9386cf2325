#include "win32/Win32MessageBoxes.h"

#include "run/BoxText.h"
#include "win32/Text.h"

namespace {

constexpr const wchar_t* kProgramCaption = L"QZR-71 Adjustment software";

}  // namespace

std::wstring MessageBoxText(const std::string& text) {
  return Wide(BoxText(text, "\r\n"));
}

void Win32MessageBoxes::ShowExclamation(const std::string& text, const std::string& caption) {
  // Without an owner and task-modal, every window of the program waits for the box, as a box
  // shown from the settings dialog must keep Start from being clicked behind it.
  MessageBoxW(nullptr, MessageBoxText(text).c_str(), Wide(caption).c_str(),
              MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL | MB_SETFOREGROUND);
}

void ShowErrorBox(HWND owner, const std::string& text) {
  MessageBoxW(owner, MessageBoxText(text).c_str(), kProgramCaption,
              MB_OK | MB_ICONERROR | (owner == nullptr ? MB_TASKMODAL : 0));
}
