// Pictures of the four windows as a technician sees them, for a look by eye after a change: the
// main window, the settings dialog and the version dialog at rest, and the Levels window while the
// white paper item adjusts its D/A values against the simulated head. Written as BMP files to
// QZR71_SCREENSHOT_DIR; scripts/test-windows.sh --screenshots runs it at two scales.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "tests/adjust/FakeClock.h"
#include "tests/adjust/SimulatedHead.h"
#include "tests/link/Recorders.h"
#include "win32/ControlIds.h"
#include "win32/Forms.h"
#include "win32/InputGate.h"
#include "win32/MessageLoop.h"
#include "win32/TLevelsForm.h"
#include "win32/TMainForm.h"
#include "win32/TRs232cForm.h"
#include "win32/TVersionForm.h"

namespace {

// The window as the screen shows it, frame included.
bool Save(HWND window, const std::filesystem::path& file) {
  RECT box{};
  GetWindowRect(window, &box);
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file keeps it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP pixels = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(copy, pixels);
  BitBlt(copy, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  GdiFlush();
  const auto size = static_cast<DWORD>(width * height * 4);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + size;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), size);
  SelectObject(copy, old);
  DeleteObject(pixels);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  return out.good();
}

void MoveTo(HWND window, int left, int top) {
  SetWindowPos(window, HWND_TOP, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

// Takes the Levels window once the D/A adjustment has made a few passes, while the stage runs.
class ShootingPump final : public IdlePump {
 public:
  ShootingPump(InputGate& gate, std::filesystem::path file) : gate_(gate), file_(std::move(file)) {}
  void Pump() override {
    gate_.Pump();
    if (levels == nullptr || shot) return;
    const LevelsPicture& picture = levels->Picture();
    if (!picture.HasReport() || picture.Step() != ProgressStep::kDaAdjustment || ++passes_ < 30)
      return;
    RedrawWindow(levels->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    shot = Save(levels->Handle(), file_);
  }
  const TLevelsForm* levels = nullptr;
  bool shot = false;

 private:
  InputGate& gate_;
  std::filesystem::path file_;
  int passes_ = 0;
};

}  // namespace

int main() {
  const char* folder = std::getenv("QZR71_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') {
    std::fprintf(stderr, "QZR71_SCREENSHOT_DIR names the folder for the pictures\n");
    return 2;
  }
  const std::filesystem::path shots(folder);
  std::filesystem::create_directories(shots);
  SimulatedHead head({"--seed", "7"});

  TempDir dir;
  SerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device, boxes, dir.Path() / "comm.ini");
  CountingBell bell;
  FakeClock clock;
  InputGate gate;
  ShootingPump pump(gate, shots / "levels.bmp");
  driver.SetIdlePump(&pump);
  TMainForm form(TMainForm::Seams{driver, bell, clock, pump, gate, boxes});
  MainForm = &form;
  TRs232cForm settings(driver, form.Handle());
  Rs232cForm = &settings;
  TVersionForm version(form.Handle());
  VersionForm = &version;
  form.Show(SW_SHOWNORMAL);
  MoveTo(form.Handle(), 0, 0);
  DispatchWaiting(form);

  SendMessageW(form.Handle(), WM_COMMAND, control::kCOMMport1, 0);
  SendMessageW(form.Handle(), WM_COMMAND, control::kVersion1, 0);
  RECT main{};
  GetWindowRect(form.Handle(), &main);
  MoveTo(settings.Handle(), 0, main.bottom + 10);
  RECT below{};
  GetWindowRect(settings.Handle(), &below);
  MoveTo(version.Handle(), below.right + 10, main.bottom + 10);
  DispatchWaiting(form);
  Sleep(200);
  DispatchWaiting(form);
  bool saved = Save(form.Handle(), shots / "main.bmp") &&
               Save(settings.Handle(), shots / "settings.bmp") &&
               Save(version.Handle(), shots / "version.bmp");

  ShowWindow(settings.Handle(), SW_HIDE);
  ShowWindow(version.Handle(), SW_HIDE);
  SendMessageW(form.Handle(), WM_COMMAND, control::kLevels1, 0);
  pump.levels = form.LevelsForm.get();
  SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
  SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
  saved = saved && pump.shot && Save(form.Handle(), shots / "main-after-white-paper.bmp");
  std::printf("%s: %s\n", shots.string().c_str(), saved ? "written" : "NOT all written");
  VersionForm = nullptr;
  Rs232cForm = nullptr;
  MainForm = nullptr;
  return saved ? 0 : 1;
}
