// The Windows program, run under Wine against the simulated head (scripts/test-windows.sh
// --window-bench): prints numbers, judges nothing.
//   1. start-up: qzr71adj.exe started in a scratch folder with COM1 the simulated head, from its
//      start until its main window first paints, and its peak working set by then;
//   2. memory: the Win32 windows, driver and serial device in this process over whole runs (fake
//      clock), the peak working set;
//   3. a whole run with the head paced at 9600 baud 8E1 and the real clock, stage by stage,
//      against its floor: the timed waits plus the wire time of every byte both ways.
//   win32_bench QZR71ADJ.EXE [starts] [paced runs]

#include "link/WindowsApi.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/CountingLink.h"
#include "bench/WaitNotingClock.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Recorders.h"
#include "tests/support/SimulatedHead.h"
#include "win32/InputGate.h"
#include "win32/TMainForm.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Megabytes(SIZE_T bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

SIZE_T PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return K32GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                      : 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The line the program prints when its window is shown, or "" after ten seconds.
std::string ReadLine(HANDLE pipe) {
  std::string line;
  const auto giveUp = Steady::now() + std::chrono::seconds(10);
  while (Steady::now() < giveUp) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) break;
    if (waiting == 0) {
      Sleep(1);
      continue;
    }
    char c = 0;
    DWORD got = 0;
    if (!ReadFile(pipe, &c, 1, &got, nullptr) || got != 1) break;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return "";
}

// Closes the program as a technician would, by its main window, so that it lets go of the port
// before the next start.
void CloseProgram(const PROCESS_INFORMATION& started) {
  struct Search {
    DWORD process;
    HWND found;
  } search{started.dwProcessId, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (owner != s->process || std::wstring(name) != L"QZR71MainForm") return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(started.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, 5000);
  }
}

bool StartUps(const std::filesystem::path& program, int starts) {
  TempDir dir;
  std::ofstream(dir.Path() / "comm.ini", std::ios::binary)
      << "*** BILL VALIDATOR QZR-71 "
         "***\r\nBORDRATE:CBR_9600\r\nCOMPORT:COM1\r\nSTOPBIT:ONESTOPBIT\r\n";
  SetEnvironmentVariableW(L"QZR71_REPORT_SHOWN", L"1");
  SetEnvironmentVariableW(L"QZR71_RUNS_DIR", (dir.Path() / "runs").c_str());
  std::vector<double> milliseconds, megabytes;
  for (int i = 0; i < starts; ++i) {
    // A head of its own for each start: under Wine the line a closed port leaves is not taken
    // up again at once.
    SimulatedHead head({});
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started{};
    std::wstring command = L"\"" + program.wstring() + L"\"";
    const auto start = Steady::now();
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        dir.Path().c_str(), &startup, &started)) {
      std::fprintf(stderr, "cannot start %s: error %lu\n", program.string().c_str(),
                   GetLastError());
      return false;
    }
    CloseHandle(writeEnd);
    const std::string line = ReadLine(readEnd);
    const double ms = Seconds(Steady::now() - start) * 1000;
    const SIZE_T peak = PeakWorkingSet(started.hProcess);
    CloseProgram(started);
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    CloseHandle(readEnd);
    if (line.rfind("shown", 0) != 0) {
      std::fprintf(stderr, "the program showed no window (it said \"%s\")\n", line.c_str());
      return false;
    }
    milliseconds.push_back(ms);
    megabytes.push_back(Megabytes(peak));
    std::printf("start %d: window shown after %.1f ms, peak working set %.1f MB\n", i + 1, ms,
                Megabytes(peak));
  }
  std::printf("start-up, median of %d: %.1f ms, %.1f MB\n", starts, Median(milliseconds),
              Median(megabytes));
  SetEnvironmentVariableW(L"QZR71_REPORT_SHOWN", nullptr);
  return true;
}

bool MemoryOverRuns(int runs) {
  TempDir dir;
  SetEnvironmentVariableW(L"QZR71_RUNS_DIR", (dir.Path() / "runs").c_str());
  SimulatedHead head({"--seed", "7"});
  SerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  FakeClock clock;
  InputGate gate;
  GatedIdlePump pump(gate);
  driver.SetIdlePump(&pump);
  settings.FormCreate();
  CountingBell bell;
  TMainForm form(TMainForm::Seams{driver, bell, clock, pump, gate, boxes});
  form.Model.Controller.SetRunStarting([&settings] { settings.RunStarting(); });
  form.Show(SW_SHOWNOACTIVATE);
  std::printf("main window shown: peak working set %.1f MB\n",
              Megabytes(PeakWorkingSet(GetCurrentProcess())));
  for (int run = 1; run <= runs; ++run) {
    for (int click = 0; click < 5 && IsWindowEnabled(form.BtnStart); ++click) {
      SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
    }
    const bool completed = form.Model.Controller.AdjResult == kRunCompleted;
    SendMessageW(form.BtnCancel, BM_CLICK, 0, 0);
    std::printf("run %d %s: peak working set %.1f MB\n", run, completed ? "completed" : "FAILED",
                Megabytes(PeakWorkingSet(GetCurrentProcess())));
    if (!completed) return false;
  }
  return true;
}

bool PacedRun(double& overFloor) {
  TempDir dir;
  SetEnvironmentVariableW(L"QZR71_RUNS_DIR", (dir.Path() / "runs").c_str());
  constexpr int kBaud = 9600;
  SimulatedHead head({"--seed", "7", "--baud", std::to_string(kBaud)});
  SerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  InputGate gate;
  GatedIdlePump pump(gate);
  driver.SetIdlePump(&pump);
  settings.FormCreate();
  CountingLink counted(driver);
  SystemClock system;
  WaitNotingClock clock(system);
  CountingBell bell;
  TMainForm form(TMainForm::Seams{counted, bell, clock, pump, gate, boxes});
  form.Model.Controller.SetRunStarting([&settings] { settings.RunStarting(); });
  form.Show(SW_SHOWNOACTIVATE);

  const double bitTime = 11.0 / kBaud;  // 8E1
  std::printf("stage  messages  bytes  seconds  waits(s)  wire(s)  floor(s)  over floor\n");
  double total = 0, totalFloor = 0;
  for (int stage = 0; stage <= 4; ++stage) {
    const std::size_t messages = counted.messages, bytes = counted.sent + counted.received;
    const std::size_t waitsBefore = clock.phases.size();
    const auto start = Steady::now();
    SendMessageW(form.BtnStart, BM_CLICK, 0, 0);
    const double seconds = Seconds(Steady::now() - start);
    const StepResult result = form.Model.Controller.AdjResult;
    if (result != 1 && result != kRunCompleted) {
      std::fprintf(stderr, "stage %d failed\n", stage);
      return false;
    }
    const double waits = clock.WaitedSince(waitsBefore);
    const std::size_t moved = counted.sent + counted.received - bytes;
    const double wire = static_cast<double>(moved) * bitTime;
    const double floor = waits + wire;
    std::printf("%5d  %8zu  %5zu  %7.3f  %8.3f  %7.3f  %8.3f  %9.3f%%\n", stage,
                counted.messages - messages, moved, seconds, waits, wire, floor,
                100.0 * (seconds - floor) / floor);
    total += seconds;
    totalFloor += floor;
  }
  overFloor = 100.0 * (total - totalFloor) / totalFloor;
  std::printf("total  %8zu  %5zu  %7.3f  %8s  %7s  %8.3f  %9.3f%%\n", counted.messages,
              counted.sent + counted.received, total, "", "", totalFloor, overFloor);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: win32_bench QZR71ADJ.EXE [starts] [paced runs]\n");
    return 2;
  }
  const int starts = argc > 2 ? std::atoi(argv[2]) : 5;
  const int pacedRuns = argc > 3 ? std::atoi(argv[3]) : 1;
  std::printf("Under Wine: Wine's figures, not Windows'.\n");
  if (!StartUps(argv[1], starts)) return 1;
  if (!MemoryOverRuns(1)) return 1;
  std::vector<double> over;
  for (int i = 0; i < pacedRuns; ++i) {
    double o = 0;
    if (!PacedRun(o)) return 1;
    over.push_back(o);
  }
  if (pacedRuns > 1)
    std::printf("paced run, median of %d: %.3f%% over the floor\n", pacedRuns, Median(over));
  return 0;
}
