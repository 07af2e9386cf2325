// Prints how late the port's read time-out ends against a silent head (n = 1 and n = 160), and
// how many of a long run of acknowledged exchanges needed a retry.
//   link_timing_bench [timeout samples at n=1] [exchanges]

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
#include "tests/link/AcknowledgingHead.h"
#include "tests/link/PtyPair.h"
#include "tests/link/Recorders.h"

namespace {

using Clock = std::chrono::steady_clock;

void ReportLateness(PortDriver& driver, std::uint8_t count, int samples) {
  const double deadlineMs = 500.0 + 5.0 * count;
  std::vector<std::uint8_t> buffer(count);
  std::vector<double> late;
  for (int i = 0; i < samples; ++i) {
    const auto start = Clock::now();
    driver.ReadPort(count, buffer.data());
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    late.push_back(took.count() - deadlineMs);
  }
  double sum = 0;
  for (double l : late) sum += l;
  std::printf(
      "read time-out n=%3u (%4.0f ms): %2d samples, lateness min %.3f ms, mean %.3f ms, "
      "max %.3f ms\n",
      static_cast<unsigned>(count), deadlineMs, samples,
      *std::min_element(late.begin(), late.end()), sum / samples,
      *std::max_element(late.begin(), late.end()));
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

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 20;
  const int exchanges = argc > 2 ? std::atoi(argv[2]) : 10'000;

  PtyPair pty;
  setenv("QZR71_COM1", pty.SlavePath().c_str(), 1);
  TempDir dir;
  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device, boxes, dir.Path() / "comm.ini");
  driver.FormCreate();
  if (!driver.PortOpen) {
    std::fprintf(stderr, "could not open the pseudo-terminal %s\n", pty.SlavePath().c_str());
    return 1;
  }

  ReportLateness(driver, 1, samples);
  ReportLateness(driver, 160, std::max(1, samples / 4));
  ReportExchanges(driver, pty.Master(), exchanges);
  return 0;
}
