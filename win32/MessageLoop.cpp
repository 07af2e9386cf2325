#include "win32/MessageLoop.h"

#include "win32/TMainForm.h"

bool TranslateKeys(const TMainForm& main, MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  if (main.TranslateShortcut(message)) return true;
  const HWND window = GetAncestor(message.hwnd, GA_ROOT);
  return window != nullptr && IsDialogMessageW(window, &message);
}

void RunMessageLoop(const TMainForm& main) {
  MSG message;
  while (main.Handle() != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TranslateKeys(main, message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void DispatchWaiting(const TMainForm& main) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (TranslateKeys(main, message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
