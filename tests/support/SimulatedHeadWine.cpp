// The simulated head for the tests of the Windows build, run under Wine. The simulator is a Linux
// program: the test starts it the way Wine runs one (CreateProcess on the file itself) and the
// tool reaches it as COM1, which the prefix's dosdevices/com1 leads to through the link the
// simulator makes. The run directory QZR71_WINE_HEAD_DIR holds that link; QZR71_HEADSIM names the
// simulator (both set by scripts/test-windows.sh).
//
// Wine hands back no process handle for a Linux program and gives it no standard output, so a
// small shell wrapper records the simulator's process id, its output and, when it ends, its exit
// status, in files beside the link; the test stops it with kill(1), started the same way.

#include "link/WindowsApi.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "tests/support/SimulatedHead.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Starts the simulator in the background with no terminal, and leaves RUN.pid while it runs,
// RUN.out and RUN.err, and RUN.status once it has ended. Arguments: RUN, LINE, then the command.
// It lets go of the standard error it inherits from the test, which the test's runner reads to
// its end.
constexpr const char* kWrapper =
    "exec 2>/dev/null; run=$1; line=$2; shift 2; rm -f \"$line\"; "
    "\"$@\" </dev/null >\"$run.out\" 2>\"$run.err\" & "
    "echo $! >\"$run.pid.new\" && mv \"$run.pid.new\" \"$run.pid\"; "
    "wait $!; echo $? >\"$run.status.new\" && mv \"$run.status.new\" \"$run.status\"";

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(name) +
                             " is not set: run these tests through scripts/test-windows.sh");
  }
  return value;
}

template <typename Function>
Function WineExport(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  if (found == nullptr) throw std::runtime_error("these tests run only under Wine");
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

std::string UnixPath(const fs::path& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  static const auto toUnix = WineExport<ToUnix>("wine_get_unix_file_name");
  char* name = toUnix(fs::absolute(path).c_str());
  if (name == nullptr) throw std::runtime_error("no Linux name for " + path.string());
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

fs::path WindowsPath(const std::string& unixPath) {
  using ToDos = wchar_t*(CDECL*)(const char*);
  static const auto toDos = WineExport<ToDos>("wine_get_dos_file_name");
  wchar_t* name = toDos(unixPath.c_str());
  if (name == nullptr) throw std::runtime_error("no Windows name for " + unixPath);
  fs::path result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// One argument as the command line's parser reads it back: quoted, with backslashes doubled only
// where a quote follows them.
std::wstring Quoted(const std::string& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted += static_cast<wchar_t>(static_cast<unsigned char>(c));
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

void StartLinuxProgram(const std::vector<std::string>& command) {
  std::wstring line;
  for (const auto& argument : command) line += (line.empty() ? L"" : L" ") + Quoted(argument);
  const fs::path program = WindowsPath(command.front());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    throw std::runtime_error("cannot start " + command.front() + ": error " +
                             std::to_string(GetLastError()));
  }
  if (started.hProcess != nullptr) CloseHandle(started.hProcess);
  if (started.hThread != nullptr) CloseHandle(started.hThread);
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The port that ctest lent this test for its head when tests run side by side, each on a line of
// its own (scripts/test-windows.sh gives ctest the prefix's COM11, COM12, ... as the resource
// "wine_lines"; ctest names the one it lent as "id:12,slots:1"). Empty when nothing was lent:
// the head is then on COM1's line.
std::string LentPort() {
  const char* lent = std::getenv("CTEST_RESOURCE_GROUP_0_WINE_LINES");
  if (lent == nullptr) return {};
  const std::string_view text(lent);
  const auto id = text.find("id:");
  if (id == std::string_view::npos) throw std::runtime_error("no line id in " + std::string(text));
  const auto digits = text.substr(id + 3, text.find(',', id) - id - 3);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    throw std::runtime_error("not a port number: " + std::string(text));
  }
  return std::string(digits);
}

}  // namespace

class SimulatedHead::Process {
 public:
  Process(const std::vector<std::string>& options, const std::string& line) {
    static int started = 0;
    const std::string directory = FromEnvironment("QZR71_WINE_HEAD_DIR");
    run_ = directory + "/head-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++started);
    std::vector<std::string> command{"/bin/sh",
                                     "-c",
                                     kWrapper,
                                     "sh",
                                     run_,
                                     directory + "/" + line,
                                     FromEnvironment("QZR71_HEADSIM"),
                                     "--link",
                                     directory + "/" + line};
    command.insert(command.end(), options.begin(), options.end());
    StartLinuxProgram(command);

    // The simulator announces its line once the link to it is in place.
    const auto giveUp = Clock::now() + 10s;
    while (Contents(File(".out")).find('\n') == std::string::npos) {
      if (fs::exists(File(".status")) || Clock::now() > giveUp) {
        const std::string errors = Contents(File(".err"));
        Stop();
        throw std::runtime_error("the simulated head did not start: " + errors);
      }
      std::this_thread::sleep_for(10ms);
    }
  }

  ~Process() { Stop(); }

  int Stop() {
    if (stopped_) return status_;
    status_ = SignalAndWait("TERM", 5s);
    if (status_ == kStillRunning) {
      SignalAndWait("KILL", 5s);
      status_ = -1;
    }
    stopped_ = true;
    for (const char* suffix : {".out", ".err", ".status", ".pid"}) {
      std::error_code ignored;
      fs::remove(File(suffix), ignored);
    }
    return status_;
  }

 private:
  static constexpr int kStillRunning = -2;

  fs::path File(const char* suffix) const { return WindowsPath(run_ + suffix); }

  int SignalAndWait(const char* signal, std::chrono::seconds limit) {
    const auto giveUp = Clock::now() + limit;
    std::string pid;
    while (pid.empty() && !fs::exists(File(".status")) && Clock::now() < giveUp) {
      pid = Contents(File(".pid"));
      if (pid.empty()) std::this_thread::sleep_for(10ms);
    }
    while (!pid.empty() && pid.back() == '\n') pid.pop_back();
    if (!pid.empty() && !fs::exists(File(".status"))) {
      StartLinuxProgram({"/bin/kill", std::string("-") + signal, pid});
    }
    while (Clock::now() < giveUp) {
      const std::string status = Contents(File(".status"));
      if (!status.empty()) return std::atoi(status.c_str());
      std::this_thread::sleep_for(10ms);
    }
    return kStillRunning;
  }

  std::string run_;
  bool stopped_ = false;
  int status_ = -1;
};

SimulatedHead::SimulatedHead(const std::vector<std::string>& options)
    : SimulatedHead(options, "line" + LentPort()) {
  // On a lent line the tool's COM1 is that port.
  if (const std::string port = LentPort(); !port.empty()) {
    _putenv_s("QZR71_COM1", ("\\\\.\\COM" + port).c_str());
  }
}

SimulatedHead::SimulatedHead(const std::vector<std::string>& options, const std::string& line)
    : process_(std::make_unique<Process>(options, line)) {}

SimulatedHead::~SimulatedHead() {
  _putenv_s("QZR71_COM1", "");
}

int SimulatedHead::Stop() {
  return process_->Stop();
}

void SimulatedHead::ServeOverRfc2217() {
  // Each line has its server: QZR71_WINE_RFC2217 for COM1's, QZR71_WINE_RFC2217_12 for COM12's.
  const std::string port = LentPort();
  const std::string server = "QZR71_WINE_RFC2217" + (port.empty() ? "" : "_" + port);
  _putenv_s("QZR71_COM1", FromEnvironment(server.c_str()).c_str());
}

std::string SimulatedHead::PathForHead(const std::filesystem::path& path) {
  return UnixPath(path);
}

std::string SimulatedHead::Scenario(const std::string& file) {
  return std::string(QZR71_SCENARIOS) + "/" + file;
}
