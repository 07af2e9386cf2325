#include "win32/Design.h"

#include <cwchar>

namespace design {

namespace {

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool Installed(HDC screen, const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(screen, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// Faces with Century's proportions first; Windows always has Times New Roman, and Wine finds the
// serif faces of the Linux system it runs on.
const wchar_t* SerifFace() {
  static const wchar_t* const face = [] {
    const wchar_t* const faces[] = {L"Century",         L"Century Schoolbook", L"C059",
                                    L"TeX Gyre Schola", L"Times New Roman",    L"Liberation Serif",
                                    L"DejaVu Serif"};
    HDC screen = GetDC(nullptr);
    const wchar_t* chosen = faces[4];
    for (const wchar_t* candidate : faces) {
      if (Installed(screen, candidate)) {
        chosen = candidate;
        break;
      }
    }
    ReleaseDC(nullptr, screen);
    return chosen;
  }();
  return face;
}

}  // namespace

UINT DpiOf(HWND window) {
  const UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : GetDpiForSystem();
}

void Place(HWND control, int left, int top, int width, int height, UINT dpi) {
  SetWindowPos(control, nullptr, Scaled(left, dpi), Scaled(top, dpi), Scaled(width, dpi),
               Scaled(height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE OuterSize(HWND window, int clientWidth, int clientHeight, UINT dpi) {
  RECT frame{0, 0, Scaled(clientWidth, dpi), Scaled(clientHeight, dpi)};
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  AdjustWindowRectExForDpi(&frame, style, GetMenu(window) != nullptr, exStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

Font CenturyFont(int designPixelHeight, UINT dpi, bool underline, bool bold) {
  return Font(CreateFontW(-Scaled(designPixelHeight, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                          FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                          VARIABLE_PITCH | FF_ROMAN, SerifFace()));
}

void SetFont(HWND control, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

SIZE TextSize(HWND window, HFONT font, const wchar_t* text) {
  HDC dc = GetDC(window);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}

}  // namespace design
