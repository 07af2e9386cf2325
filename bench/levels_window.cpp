// What the Levels window costs a run: the tool's main window drives stages against qzr71-headsim
// on a pseudo-terminal, alternately with the Levels window open and never opened, and the time
// and processor time of the D/A adjustment and of the whole run are compared. The clock is a
// fake, so the motor check's waits take no time; without --baud the simulator answers at once
// and the reports come as fast as the tool can take them. Offscreen unless a platform is set.
// Prints numbers; judges nothing.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QProgressBar>

#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TLevelsForm.h"
#include "console/TMainForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/MessageBoxes.h"
#include "run/PortSettingsModel.h"
#include "tests/support/CpuTime.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

class NoBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string&, const std::string&) override {}
};

class NoBell final : public BellOutput {
 public:
  void Ring() override {}
};

struct Sample {
  double daSeconds = 0, daCpu = 0, runSeconds = 0, runCpu = 0;
  std::size_t reports = 0, daReports = 0;
  int refreshes = 0;
};

// Notes the clocks at the D/A adjustment's first report and at its verdict (or at the next step's
// first report, or at the end of the stage, when a failed exchange ended it without one): two
// readings of the clocks a run, whatever the number of reports.
class DaProbe {
 public:
  void Take(const ProgressReport& report) {
    ++reports;
    const bool da = report.step == ProgressStep::kDaAdjustment;
    if (da) ++daReports;
    if (da && !inDa_) {
      inDa_ = true;
      startCpu_ = CpuSeconds();
      startWall_ = Seconds(Steady::now());
    } else if ((da && report.verdict) || (!da && inDa_)) {
      End();
    }
  }
  void End() {
    if (!inDa_) return;
    inDa_ = false;
    cpu = CpuSeconds() - startCpu_;
    wall = Seconds(Steady::now()) - startWall_;
  }
  std::size_t reports = 0, daReports = 0;
  double cpu = 0, wall = 0;

 private:
  bool inDa_ = false;
  double startCpu_ = 0, startWall_ = 0;
};

// Start, then Next, until the last stage has run or the run has ended. Its own function, so that
// an instruction count can be limited to it (valgrind --tool=callgrind
// --toggle-collect='*RunStages*').
[[gnu::noinline]] void RunStages(TMainForm& form, int lastStage) {
  for (int stage = 0; stage <= lastStage; ++stage) {
    form.BtnStartClick();
    if (form.Model.Controller.AdjResult != 1) break;  // failed, or completed
  }
}

Sample RunOnce(bool levelsOpen, const std::vector<std::string>& simOptions, int lastStage) {
  HeadSimulator sim(simOptions);
  const std::string device = sim.NextLine();
  ::setenv("QZR71_COM1", device.c_str(), 1);
  const auto dir =
      std::filesystem::temp_directory_path() / ("qzr71-levels-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  TermiosSerialDevice serial;
  NoBoxes boxes;
  PortDriver driver(serial);
  PortSettingsModel settings(driver, boxes, dir / "comm.ini");
  NoBell bell;
  FakeClock clock;
  InputBlocker blocker;
  QtIdlePump pump(blocker);
  driver.SetIdlePump(&pump);
  settings.FormCreate();
  Sample sample;
  if (!driver.IsOpen()) {
    std::fprintf(stderr, "cannot open %s\n", device.c_str());
    return sample;
  }
  auto form = std::make_unique<TMainForm>(TMainForm::Seams{driver, bell, clock, pump, blocker});
  form->Model.Controller.SetRunStarting([&settings] { settings.RunStarting(); });
  DaProbe probe;
  form->Model.Progress.Subscribe([&probe](const ProgressReport& report) { probe.Take(report); });
  form->show();
  if (levelsOpen) {
    form->Levels1->trigger();
    QObject::connect(form->LevelsForm->CountBar, &QProgressBar::valueChanged,
                     [&sample] { ++sample.refreshes; });
  }
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();

  const double cpu = CpuSeconds();
  const auto start = Steady::now();
  RunStages(*form, lastStage);
  probe.End();
  sample.runSeconds = std::chrono::duration<double>(Steady::now() - start).count();
  sample.runCpu = CpuSeconds() - cpu;
  sample.daSeconds = probe.wall;
  sample.daCpu = probe.cpu;
  sample.reports = probe.reports;
  sample.daReports = probe.daReports;

  // The last picture goes up after the stage, as it would in the program's event loop.
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  form.reset();
  serial.Close();
  sim.Stop();
  std::filesystem::remove_all(dir);
  return sample;
}

// The main window with every seam but the head's, which these measurements do without.
struct HeadlessWindow {
  TermiosSerialDevice serial;
  PortDriver driver{serial};
  NoBell bell;
  FakeClock clock;
  InputBlocker blocker;
  QtIdlePump pump{blocker};
  TMainForm form{TMainForm::Seams{driver, bell, clock, pump, blocker}};
};

// A D/A adjustment's report of 23 channels, each at 100 in the window 96..107. The report's
// channels view the array beside it.
struct DaReport {
  ProgressReport report;
  std::array<ChannelReading, 23> channels{};
  DaReport() {
    channels.fill({"l3t_ir", 100, 96, 107, 7, 100, false});
    report.step = ProgressStep::kDaAdjustment;
    report.limit = 600;
    report.runNeeded = 10;
    report.channels = channels;
  }
  DaReport(const DaReport&) = delete;
  DaReport& operator=(const DaReport&) = delete;
};

// The window's own share of a report, without the head: the D/A adjustment's report of 23
// channels handed to the progress hub a great many times, with the window subscribed (and shown)
// and without. Returns nanoseconds a report, each way.
std::pair<double, double> CostOfAReport(int reports) {
  HeadlessWindow window;
  TMainForm& form = window.form;
  DaReport da;
  auto& [report, channels] = da;
  const auto timeReports = [&] {
    const auto start = Steady::now();
    for (int i = 0; i < reports; ++i) {
      report.count = static_cast<std::uint32_t>(i);
      channels[static_cast<std::size_t>(i) % channels.size()].level = static_cast<std::uint8_t>(i);
      form.Model.Progress.Report(report);
    }
    return std::chrono::duration<double, std::nano>(Steady::now() - start).count() / reports;
  };
  const double without = timeReports();
  form.show();
  form.Levels1->trigger();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  const double with = timeReports();
  return {without, with};
}

// What one picture costs: a pump of the event loop that finds a new D/A report of 23 channels,
// every level changed, and the refresh due; in milliseconds of processor time, over and above a
// pump that finds nothing to do.
double CostOfAPicture(int pictures) {
  HeadlessWindow window;
  TMainForm& form = window.form;
  QtIdlePump& pump = window.pump;
  form.show();
  form.Levels1->trigger();
  DaReport da;
  auto& [report, channels] = da;
  InputBlocker::Scope stage(window.blocker);  // as in a stage: the window knows one runs
  const auto pumpOnce = [&pump] {
    std::this_thread::sleep_for(std::chrono::milliseconds(260));  // a refresh falls due
    const double cpu = CpuSeconds();
    pump.Pump();
    return CpuSeconds() - cpu;
  };
  double busy = 0, idle = 0;
  for (int i = 0; i < pictures; ++i) {
    report.count = static_cast<std::uint32_t>(i + 1);
    report.run = static_cast<std::uint32_t>(i % 10);
    for (ChannelReading& channel : channels) {
      channel.level = static_cast<std::uint8_t>(97 + (channel.level + 3) % 10);
      channel.daValue = static_cast<std::uint8_t>(90 + i % 20);
    }
    form.Model.Progress.Report(report);
    busy += pumpOnce();
    idle += pumpOnce();
  }
  return (busy - idle) * 1e3 / pictures;
}

struct Summary {
  double median = 0, mean = 0, spread = 0;  // spread: standard deviation
};

Summary Summarise(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  for (double v : values) s.mean += v;
  s.mean /= static_cast<double>(n);
  for (double v : values) s.spread += (v - s.mean) * (v - s.mean);
  s.spread = n > 1 ? std::sqrt(s.spread / static_cast<double>(n - 1)) : 0;
  return s;
}

template <typename Field>
void PrintRow(const char* what, const std::vector<Sample>& closed, const std::vector<Sample>& open,
              Field field) {
  std::vector<double> a, b;
  for (const Sample& s : closed) a.push_back(field(s) * 1e3);
  for (const Sample& s : open) b.push_back(field(s) * 1e3);
  const Summary x = Summarise(a), y = Summarise(b);
  std::printf("%-24s %9.3f %9.3f %8.3f   %9.3f %9.3f %8.3f   %+7.2f%%\n", what, x.median, x.mean,
              x.spread, y.median, y.mean, y.spread,
              x.median > 0 ? 100.0 * (y.median - x.median) / x.median : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"The Levels window's cost: runs against the simulated head with it open and not"};
  int runs = 20;
  int baud = 0;
  int lastStage = 4;
  int micro = 0;
  std::string scenario;
  std::string mode = "both";
  std::uint64_t seed = 7;
  app.add_option("--runs", runs, "runs with the window and as many without, alternating")
      ->check(CLI::Range(1, 1000));
  app.add_option("--baud", baud, "pace the simulated head at this speed, 8E1")
      ->check(CLI::IsMember({2400, 9600, 19200}));
  app.add_option("--to", lastStage, "last stage to run")->check(CLI::Range(0, 4));
  app.add_option("--scenario", scenario, "a scenario file of the simulated head");
  app.add_option("--seed", seed, "the simulated head's noise seed");
  app.add_option("--mode", mode, "both: alternate; open or closed: only runs of that kind")
      ->check(CLI::IsMember({"both", "open", "closed"}));
  app.add_option("--reports", micro,
                 "instead of runs: hand this many reports to the progress hub, with the window "
                 "and without, and print the cost of one");
  CLI11_PARSE(app, argc, argv);

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication qt(qtArgc, argv);

  if (micro > 0) {
    const auto [without, with] = CostOfAReport(micro);
    std::printf(
        "a D/A report of 23 channels to the progress hub: %.1f ns without the window, "
        "%.1f ns with it open: the window's share %.1f ns a report\n",
        without, with, with - without);
    std::printf("a picture of 23 channels, all changed: %.3f ms of processor time\n",
                CostOfAPicture(40));
    return 0;
  }

  std::vector<std::string> options{"--seed", std::to_string(seed)};
  if (baud) options.insert(options.end(), {"--baud", std::to_string(baud)});
  if (!scenario.empty()) options.insert(options.end(), {"--scenario", scenario});

  std::vector<Sample> closed, open;
  for (int i = 0; i < 2 * runs; ++i) {
    // Alternating, so that a change in the machine's load falls on both alike.
    const bool withWindow = i % 2 == 1;
    if (mode != "both" && withWindow != (mode == "open")) continue;
    (withWindow ? open : closed).push_back(RunOnce(withWindow, options, lastStage));
  }
  if (closed.empty()) closed = open;  // one kind only: both columns show it
  if (open.empty()) open = closed;

  std::printf("%s, stages 0 to %d, %s, %d runs each way, platform %s\n",
              baud ? ("paced at " + std::to_string(baud) + " baud").c_str() : "unpaced", lastStage,
              scenario.empty() ? "healthy head" : scenario.c_str(), runs,
              qPrintable(QGuiApplication::platformName()));
  std::printf("%-24s %29s   %29s   %8s\n", "(milliseconds)", "window never opened", "window open",
              "median");
  std::printf("%-24s %9s %9s %8s   %9s %9s %8s   %8s\n", "", "median", "mean", "sd", "median",
              "mean", "sd", "change");
  PrintRow("D/A adjustment, time", closed, open, [](const Sample& s) { return s.daSeconds; });
  PrintRow("D/A adjustment, cpu", closed, open, [](const Sample& s) { return s.daCpu; });
  PrintRow("run, time", closed, open, [](const Sample& s) { return s.runSeconds; });
  PrintRow("run, cpu", closed, open, [](const Sample& s) { return s.runCpu; });
  const Sample& last = open.back();
  std::printf("reports in a run: %zu (D/A adjustment: %zu); window refreshes in a run: %d\n",
              last.reports, last.daReports, last.refreshes);
  return 0;
}
