// The platform's serial device against the simulated head, with the same numbers on every
// platform: how late a read's time-out ends with a silent head (n = 1, 40 and 160), how long an
// acknowledged exchange takes and how many needed a retry, and how soon a pulled cable fails
// an exchange. The time-outs and the exchange once more through ser2net (RFC 2217 on 127.0.0.1)
// in front of the same head's line, the exchange in alternating blocks with the line itself.
//   serial_timing_bench [time-out samples at n=1] [exchanges]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/PortDriver.h"
#include "link/Primitives.h"
#include "link/SerialDevice.h"
#include "link/SettingsFile.h"
#include "run/PortSettingsModel.h"
#include "tests/support/Recorders.h"
#include "tests/support/SimulatedHead.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// The tool's side: the port driver over the platform's device, COM1 opened as at start-up.
struct Tool {
  Tool() {
    WriteBytes(dir.Path() / "comm.ini", SettingsFileText(1, 0, 0));
    settings.FormCreate();
  }
  TempDir dir;
  SerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver{device};
  PortSettingsModel settings{driver, boxes, dir.Path() / "comm.ini"};
};

void Summarize(const char* what, std::vector<double> values) {
  std::sort(values.begin(), values.end());
  double sum = 0;
  for (const double v : values) sum += v;
  std::printf("%s: %zu samples, min %.3f ms, median %.3f ms, mean %.3f ms, max %.3f ms\n", what,
              values.size(), values.front(), values[values.size() / 2],
              sum / static_cast<double>(values.size()), values.back());
}

// What QZR71_COM1 says: the head's line on Linux; nothing under Wine, where the prefix's COM1
// leads to the head.
std::optional<std::string> Com1() {
  const char* value = std::getenv("QZR71_COM1");
  if (value == nullptr || *value == '\0') return std::nullopt;
  return value;
}

void SetCom1(const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s("QZR71_COM1", value ? value->c_str() : "");
#else
  if (value) {
    setenv("QZR71_COM1", value->c_str(), 1);
  } else {
    unsetenv("QZR71_COM1");
  }
#endif
}

void ReadTimeouts(int samples, bool throughServer) {
  SimulatedHead head({"--seed", "1", "--scenario", SimulatedHead::Scenario("no-answer.scn")});
  if (throughServer) head.ServeOverRfc2217();
  Tool tool;
  if (!tool.driver.IsOpen()) {
    std::fprintf(stderr, "COM1 did not open\n");
    std::exit(1);
  }
  for (const std::uint8_t count : {std::uint8_t{1}, std::uint8_t{40}, std::uint8_t{160}}) {
    const double deadline = 500.0 + 5.0 * count;
    std::vector<std::uint8_t> buffer(count);
    std::vector<double> late;
    const int n = count == 1 ? samples : std::max(1, samples / 4);
    for (int i = 0; i < n; ++i) {
      const std::uint8_t request = head::kEnq;
      tool.driver.WritePort(1, &request);
      const auto start = Clock::now();
      tool.driver.ReadPort(count, buffer.data());
      late.push_back(Milliseconds(Clock::now() - start).count() - deadline);
    }
    const std::string what = std::string(throughServer ? "through ser2net: " : "") +
                             "read time-out lateness n=" + std::to_string(count) + " (" +
                             std::to_string(static_cast<int>(deadline)) + " ms)";
    Summarize(what.c_str(), late);
  }
  head.Stop();
}

void Exchanges(int exchanges) {
  SimulatedHead head({"--seed", "1"});
  Tool tool;
  CountingBell bell;
  int acknowledged = 0;
  std::vector<double> took;
  for (int i = 0; i < exchanges; ++i) {
    const auto start = Clock::now();
    acknowledged += SendCommand(tool.driver, bell, head::kCmdEndReading);
    took.push_back(Milliseconds(Clock::now() - start).count());
  }
  std::printf("exchanges: %d sent, %d acknowledged, %d retries (bells)\n", exchanges, acknowledged,
              bell.rings);
  Summarize("exchange (0xA6, then its ACK)", took);
  head.Stop();
}

// The same exchange on the head's line and through ser2net in front of it, in alternating blocks,
// so that a change in the machine's load hits both alike.
void ExchangesThroughTheServer(int exchanges) {
  SimulatedHead head({"--seed", "1"});
  const auto line = Com1();
  head.ServeOverRfc2217();
  const auto served = Com1();
  constexpr int kBlocks = 10;
  const char* names[2] = {"on the head's line, alternating", "through ser2net"};
  std::vector<double> took[2];
  int retries[2] = {0, 0};
  int acknowledged[2] = {0, 0};
  for (int block = 0; block < kBlocks; ++block) {
    for (const int server : {0, 1}) {
      // ser2net lets go of the line a moment after the connection ended; a device opened on the
      // line before that would share its answers with it.
      if (server == 0 && block > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      SetCom1(server == 1 ? served : line);
      Tool tool;
      if (!tool.driver.IsOpen()) {
        const std::string box = tool.boxes.shown.empty() ? "" : tool.boxes.shown.back().text;
        std::printf("block %d %s: COM1 did not open (%s)\n", block, names[server], box.c_str());
        continue;
      }
      CountingBell bell;
      for (int i = 0; i < std::max(1, exchanges / kBlocks); ++i) {
        const auto start = Clock::now();
        acknowledged[server] += SendCommand(tool.driver, bell, head::kCmdEndReading);
        took[server].push_back(Milliseconds(Clock::now() - start).count());
      }
      retries[server] += bell.rings;
    }
  }
  for (const int server : {0, 1}) {
    if (took[server].empty()) return;
    std::printf("%s: %d acknowledged, %d retries (bells)\n", names[server], acknowledged[server],
                retries[server]);
    Summarize((std::string("exchange ") + names[server]).c_str(), took[server]);
    std::sort(took[server].begin(), took[server].end());
  }
  std::printf("through ser2net against the line: %.2fx the median\n",
              took[1][took[1].size() / 2] / took[0][took[0].size() / 2]);
  head.Stop();
}

void PulledCable(int samples) {
  std::vector<double> took;
  for (int i = 0; i < samples; ++i) {
    SimulatedHead head(
        {"--seed", "1", "--scenario", SimulatedHead::Scenario("pulled-cable-at-start.scn")});
    Tool tool;
    CountingBell bell;
    const auto start = Clock::now();
    SendCommand(tool.driver, bell, head::kCmdReadStoredData);
    took.push_back(Milliseconds(Clock::now() - start).count());
    head.Stop();
  }
  Summarize("pulled cable: the failed exchange", took);
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 20;
  const int exchanges = argc > 2 ? std::atoi(argv[2]) : 2000;
  ReadTimeouts(samples, false);
  Exchanges(exchanges);
  PulledCable(5);
  ReadTimeouts(samples, true);
  ExchangesThroughTheServer(exchanges);
  return 0;
}
