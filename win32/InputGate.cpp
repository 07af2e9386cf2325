#include "win32/InputGate.h"

InputGate::Scope::Scope(InputGate& gate) : gate_(gate) {
  gate_.Engage();
}

InputGate::Scope::~Scope() {
  gate_.Release();
}

bool IsUserInput(const MSG& message) {
  const UINT m = message.message;
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
         (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) || m == WM_INPUT ||
         (m >= WM_POINTERDEVICECHANGE && m <= WM_POINTERHWHEEL) || m == WM_TOUCH || m == WM_GESTURE;
}

bool InputGate::HoldClose(HWND window) {
  return window == heldWindow_ && hold_.HoldClose();
}

void InputGate::DrainQueue() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the message loop ends on it once the stage is over.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (IsUserInput(message)) {
      // The close box is the one press that is not dropped: the window closes after the stage.
      if (message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE) {
        HoldClose(GetAncestor(message.hwnd, GA_ROOT));
      }
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void InputGate::Pump() {
  // Engaged here as well, so that a pump from outside a stage (a port open from the settings
  // dialog) cannot run a second handler inside the first.
  Scope engaged(*this);
  DrainQueue();
}

void InputGate::Release() {
  if (!hold_.LastHold()) {
    hold_.Release();
    return;
  }
  // Input that reached the queue while the thread was busy is still waiting there; take it now,
  // while it is still dropped, so that none of it arrives after the stage.
  DrainQueue();
  hold_.Release();
  if (hold_.TakeHeldClose() && heldWindow_ != nullptr && IsWindow(heldWindow_)) {
    PostMessageW(heldWindow_, WM_CLOSE, 0, 0);
  }
}
