// Prints how late the port's read time-out ends against a silent head (n = 1 and n = 160) and what
// the waiting costs the processor, how many of a long run of acknowledged exchanges needed a
// retry, and how long an exchange takes against the floor of a bare write, poll and read on the
// same pseudo-terminal with the same head, measured in alternating blocks.
//   link_timing_bench [timeout samples at n=1] [exchanges]

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "link/PortDriver.h"
#include "link/Primitives.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/link/AcknowledgingHead.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void ReportLateness(PortDriver& driver, std::uint8_t count, int samples) {
  const double deadlineMs = 500.0 + 5.0 * count;
  std::vector<std::uint8_t> buffer(count);
  std::vector<double> late;
  const double cpuBefore = ProcessorSeconds();
  const auto waitStart = Clock::now();
  for (int i = 0; i < samples; ++i) {
    const auto start = Clock::now();
    driver.ReadPort(count, buffer.data());
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    late.push_back(took.count() - deadlineMs);
  }
  const double waited = std::chrono::duration<double>(Clock::now() - waitStart).count();
  const double cpu = ProcessorSeconds() - cpuBefore;
  std::sort(late.begin(), late.end());
  std::printf(
      "read time-out n=%3u (%4.0f ms): %2d samples, lateness min %.3f ms, median %.3f ms, "
      "max %.3f ms; processor %.1f ms over %.1f s of waiting (%.3f%%)\n",
      static_cast<unsigned>(count), deadlineMs, samples, late.front(), late[late.size() / 2],
      late.back(), cpu * 1e3, waited, 100 * cpu / waited);
}

void ReportExchanges(PortDriver& driver, int master, int exchanges) {
  CountingBell bell;
  std::atomic<long> received = 0;
  int acknowledged = 0;
  const auto start = Clock::now();
  {
    AcknowledgingHead peer(master, received);
    for (int i = 0; i < exchanges; ++i) {
      acknowledged += SendCommand(driver, bell, head::kCmdEndReading);
    }
    const std::uint8_t stop = 0xFF;
    driver.WritePort(1, &stop);
  }
  const std::chrono::duration<double> took = Clock::now() - start;
  std::printf(
      "exchanges: %d sent, %d acknowledged, %d retries (bells), %ld requests seen by the "
      "head, %.2f s, %.1f us each\n",
      exchanges, acknowledged, bell.rings, received.load(), took.count(),
      took.count() * 1e6 / exchanges);
}

// The same exchange with nothing but the system calls it cannot do without: write the byte, wait
// in poll() for the answer, read it.
double BareExchanges(const std::string& device, int master, int exchanges) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios raw{};
  tcgetattr(fd, &raw);
  cfmakeraw(&raw);
  tcsetattr(fd, TCSANOW, &raw);
  std::atomic<long> received = 0;
  const auto start = Clock::now();
  {
    AcknowledgingHead peer(master, received);
    for (int i = 0; i < exchanges; ++i) {
      const std::uint8_t request = head::kCmdEndReading;
      if (::write(fd, &request, 1) != 1) break;
      pollfd ready{fd, POLLIN, 0};
      ::poll(&ready, 1, 505);
      std::uint8_t answer = 0;
      if (::read(fd, &answer, 1) != 1) break;
    }
    const std::uint8_t stop = 0xFF;
    if (::write(fd, &stop, 1) != 1) std::perror("write");
  }
  const std::chrono::duration<double> took = Clock::now() - start;
  ::close(fd);
  return took.count();
}

double DriverExchanges(PortDriver& driver, int master, int exchanges, int& retries) {
  CountingBell bell;
  std::atomic<long> received = 0;
  const auto start = Clock::now();
  {
    AcknowledgingHead peer(master, received);
    for (int i = 0; i < exchanges; ++i) SendCommand(driver, bell, head::kCmdEndReading);
    const std::uint8_t stop = 0xFF;
    driver.WritePort(1, &stop);
  }
  retries += bell.rings;
  const std::chrono::duration<double> took = Clock::now() - start;
  return took.count();
}

// Blocks of each in turn, so that a change in the machine's load hits both alike.
void ReportAgainstTheFloor(PortDriver& driver, PortSettingsModel& settings,
                           TermiosSerialDevice& device, const std::string& path, int master,
                           int exchanges) {
  constexpr int kBlocks = 10;
  const int perBlock = std::max(1, exchanges / kBlocks);
  double bare = 0, tool = 0;
  int retries = 0;
  for (int block = 0; block < kBlocks; ++block) {
    device.Close();
    bare += BareExchanges(path, master, perBlock);
    settings.OkBtnClick();
    tool += DriverExchanges(driver, master, perBlock, retries);
  }
  const double n = static_cast<double>(perBlock * kBlocks);
  std::printf(
      "exchange against the bare floor: %.1f us against %.1f us, %.2fx (%d exchanges each, "
      "%d retries)\n",
      tool * 1e6 / n, bare * 1e6 / n, tool / bare, perBlock * kBlocks, retries);
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 20;
  const int exchanges = argc > 2 ? std::atoi(argv[2]) : 10'000;

  PtyPair pty;
  setenv("QZR71_COM1", pty.SlavePath().c_str(), 1);
  TempDir dir;
  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  settings.FormCreate();
  if (!driver.IsOpen()) {
    std::fprintf(stderr, "could not open the pseudo-terminal %s\n", pty.SlavePath().c_str());
    return 1;
  }

  ReportLateness(driver, 1, samples);
  ReportLateness(driver, 160, std::max(1, samples / 4));
  ReportExchanges(driver, pty.Master(), exchanges);
  ReportAgainstTheFloor(driver, settings, device, pty.SlavePath(), pty.Master(), exchanges);
  return 0;
}
