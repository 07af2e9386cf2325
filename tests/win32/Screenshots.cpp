// Pictures of the five windows as a technician sees them, for a look by eye after a change: the
// main window, the settings dialog, the version dialog and the Serial devices dialog at rest, and
// the Levels window while the white paper item adjusts its D/A values against the simulated head.
// Written as PNG files to QZR71_SCREENSHOT_DIR; scripts/test-windows.sh --screenshots runs it at
// two scales.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "program/ProgramParts.h"
#include "run/WindowsPortSource.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Recorders.h"
#include "tests/support/SimulatedHead.h"
#include "win32/ControlIds.h"
#include "win32/Forms.h"
#include "win32/InputGate.h"
#include "win32/MessageLoop.h"
#include "win32/TLevelsForm.h"
#include "win32/TMainForm.h"
#include "win32/TRs232cForm.h"
#include "win32/TSerialDevicesForm.h"
#include "win32/TVersionForm.h"

namespace {

// Lets the windows paint and Wine hand their pictures to the X server.
void Paint(IdlePump& pump) {
  for (int i = 0; i < 6; ++i) {
    pump.Pump();
    Sleep(50);
  }
}

// The window as the X server shows it, frame included (Wine's own screen holds none of its
// windows' pictures): ImageMagick's import, started as Wine starts a Linux program, which gives
// no handle to wait on; the picture is renamed into place once whole.
bool Save(HWND window, const std::filesystem::path& file, IdlePump& pump) {
  Paint(pump);
  RECT box{};
  GetWindowRect(window, &box);
  const std::string target = SimulatedHead::PathForHead(file);
  const std::string geometry = std::to_string(box.right - box.left) + "x" +
                               std::to_string(box.bottom - box.top) + "+" +
                               std::to_string(box.left) + "+" + std::to_string(box.top);
  std::wstring command = L"/bin/sh -c \"import -window root -crop " +
                         std::wstring(geometry.begin(), geometry.end()) + L" +repage '" +
                         std::wstring(target.begin(), target.end()) + L".new.png' && mv '" +
                         std::wstring(target.begin(), target.end()) + L".new.png' '" +
                         std::wstring(target.begin(), target.end()) + L"'\"";
  std::filesystem::remove(file);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return false;
  }
  if (started.hProcess != nullptr) CloseHandle(started.hProcess);
  if (started.hThread != nullptr) CloseHandle(started.hThread);
  for (int i = 0; i < 200 && !std::filesystem::exists(file); ++i) {
    pump.Pump();
    Sleep(50);
  }
  return std::filesystem::exists(file);
}

void MoveTo(HWND window, int left, int top) {
  SetWindowPos(window, HWND_TOP, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

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
  RecordingBoxes boxes;
  InputGate gate;
  GatedIdlePump pump(gate);
  // Each kind of row: an adapter by its friendly name, one pulled out, a server typed in.
  ProgramParts parts(
      boxes, pump,
      {dir.Path() / "comm.ini", dir.Path() / "serial-devices.json", dir.Path() / "runs"},
      std::make_unique<WindowsPortSource>([] {
        return std::vector<SystemPort>{{"COM1", "Communications Port (COM1)"},
                                       {"COM7", "USB Serial Port (COM7)"}};
      }));
  CountingBell bell;
  FakeClock clock;
  TMainForm form(TMainForm::Seams{parts.Port, bell, clock, pump, gate, boxes});
  MainForm = &form;
  TRs232cForm settings(parts.Settings, form.Handle());
  Rs232cForm = &settings;
  TVersionForm version(form.Handle());
  VersionForm = &version;
  // Kept once COM1 is open on the simulated head, which the choice would lead elsewhere.
  parts.Ports.Keep({"COM7", "COM12", "rfc2217://192.168.0.20:3001", ""});
  TSerialDevicesForm devicesForm(parts.Devices, form.Handle());
  form.SerialDevicesForm = &devicesForm;
  const std::unique_ptr<RunRecorder> recorder = parts.WatchRuns(form.Model);
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
  bool saved = Save(form.Handle(), shots / "main.png", pump) &&
               Save(settings.Handle(), shots / "settings.png", pump) &&
               Save(version.Handle(), shots / "version.png", pump);

  ShowWindow(settings.Handle(), SW_HIDE);
  ShowWindow(version.Handle(), SW_HIDE);
  SendMessageW(form.Handle(), WM_COMMAND, control::kSerialdevices1, 0);
  MoveTo(devicesForm.Handle(), 0, 0);
  saved = saved && Save(devicesForm.Handle(), shots / "serial-devices.png", pump);
  ShowWindow(devicesForm.Handle(), SW_HIDE);
  SendMessageW(form.Handle(), WM_COMMAND, control::kLevels1, 0);
  // The Levels window once the D/A adjustment has made a few passes, while the stage runs: told
  // of each report after the window has taken it.
  const TLevelsForm& levels = *form.LevelsForm;
  int passes = 0;
  bool shot = false;
  const std::size_t ticket = form.Model.Progress.Subscribe([&](const ProgressReport& report) {
    if (shot || report.step != ProgressStep::kDaAdjustment || ++passes < 10) return;
    shot = Save(levels.Handle(), shots / "levels.png", pump);
  });
  SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
  SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
  form.Model.Progress.Unsubscribe(ticket);
  std::printf("D/A passes seen: %d; the log ends \"%s\"\n", passes,
              form.Model.Log.Lines().empty() ? "" : form.Model.Log.Lines().back().c_str());
  DispatchWaiting(form);
  saved = saved && shot && Save(form.Handle(), shots / "main-after-white-paper.png", pump);
  std::printf("%s: %s\n", shots.string().c_str(), saved ? "written" : "NOT all written");
  VersionForm = nullptr;
  Rs232cForm = nullptr;
  MainForm = nullptr;
  return saved ? 0 : 1;
}
