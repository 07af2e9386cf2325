// Start-up of the real program: from the moment qzr71adj is started (offscreen, COM1 the simulated
// head, a scratch folder with a settings file) until its main window has painted for the first
// time, and its peak resident memory by then. Prints each start and the medians.
//   startup_bench [starts]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/HeadSimulator.h"

namespace {

long long MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

long PeakResidentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The line the program prints when its window is shown, or "" after ten seconds.
std::string ReadLine(int fd) {
  std::string line;
  const long long giveUp = MonotonicNanoseconds() + 10'000'000'000LL;
  while (MonotonicNanoseconds() < giveUp) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return "";
}

// User and system time the process has used, from /proc (clock ticks, 10 ms on Linux).
double ProcessorMilliseconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stoull(field);
  }
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int starts = argc > 1 ? std::atoi(argv[1]) : 5;
  const auto dir =
      std::filesystem::temp_directory_path() / ("qzr71-startup-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string link = (dir / "head").string();
  std::ofstream(dir / "comm.ini") << "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_9600\r\n"
                                     "COMPORT:COM1\r\nSTOPBIT:ONESTOPBIT\r\n";
  HeadSimulator sim({"--link", link});
  if (sim.NextLine().empty()) {
    std::fprintf(stderr, "the simulated head did not start\n");
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QZR71_COM1", link.c_str(), 1);
  setenv("QZR71_REPORT_SHOWN", "1", 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);

  std::vector<double> milliseconds, kilobytes, processor;
  for (int i = 0; i < starts; ++i) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return 1;
    const long long started = MonotonicNanoseconds();
    const pid_t tool = fork();
    if (tool == 0) {
      dup2(out[1], STDOUT_FILENO);
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, STDERR_FILENO);  // the offscreen platform's remarks
      if (chdir(dir.c_str()) != 0) _exit(127);
      execl(QZR71_TOOL, QZR71_TOOL, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    const std::string line = ReadLine(out[0]);
    const long peak = PeakResidentKilobytes(tool);
    const double cpu = ProcessorMilliseconds(tool);
    kill(tool, SIGTERM);
    waitpid(tool, nullptr, 0);
    close(out[0]);
    if (line.rfind("shown ", 0) != 0) {
      std::fprintf(stderr, "the program showed no window\n");
      return 1;
    }
    const double ms = static_cast<double>(std::atoll(line.c_str() + 6) - started) / 1e6;
    milliseconds.push_back(ms);
    kilobytes.push_back(static_cast<double>(peak));
    processor.push_back(cpu);
    std::printf(
        "start %d: window shown after %.1f ms (processor %.0f ms), peak resident memory %.1f MB\n",
        i + 1, ms, cpu, static_cast<double>(peak) / 1024);
  }
  std::printf("median of %d starts: %.1f ms (processor %.0f ms), %.1f MB\n", starts,
              Median(milliseconds), Median(processor), Median(kilobytes) / 1024);
  sim.Stop();
  std::filesystem::remove_all(dir);
  return 0;
}
