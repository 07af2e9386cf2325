// qzr71-headsim: a simulated QZR-71 sensor head on a pseudo-terminal.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>

#include "Qzr71Version.h"
#include "sim/HeadEngine.h"
#include "sim/HeadServer.h"
#include "sim/Scenario.h"
#include "sim/StoredData.h"
#include "sim/Trace.h"

namespace {

int Fail(const std::string& text) {
  std::cerr << "qzr71-headsim: " << text << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Simulated QZR-71 sensor head on a pseudo-terminal"};
  std::string linkPath, scenarioPath, statePath, tracePath;
  bool fresh = false;
  int baud = 0;
  int stopBits = 1;
  std::uint64_t seed = 0;
  app.add_option("--link", linkPath, "Make PATH a symbolic link to the tool's side of the line");
  app.add_option("--scenario", scenarioPath,
                 "Faults and paper to play (see qzr71-headsim(1) or sim/README.md)")
      ->check(CLI::ExistingFile);
  app.add_option("--state", statePath, "File that keeps the head's stored data between sessions");
  app.add_flag("--fresh", fresh, "The head holds no stored data (answers \"NG\")");
  app.add_option("--baud", baud, "Pace answers at this line speed")
      ->check(CLI::IsMember({2400, 9600, 19200}));
  app.add_option("--stop-bits", stopBits, "Stop bits for the pacing (8E1 or 8E2)")
      ->check(CLI::IsMember({1, 2}));
  app.add_option("--trace", tracePath, "Write every byte in both directions to this file");
  auto* seedOption = app.add_option("--seed", seed, "Seed of the head's noise");
  app.set_version_flag("--version", std::string(kToolVersion));
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {  // --help or --version
    return app.exit(done);
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return 2;
  }

  sim::Scenario scenario;
  if (!scenarioPath.empty()) {
    std::ifstream in(scenarioPath);
    auto parsed = sim::ParseScenario(in);
    if (auto* error = std::get_if<sim::ScenarioError>(&parsed)) {
      return Fail(scenarioPath + ": " + error->message);
    }
    scenario = std::get<sim::Scenario>(parsed);
  }

  std::optional<sim::HeadDataBlock> stored;
  if (!statePath.empty() && std::filesystem::exists(statePath)) {
    std::string error;
    stored = sim::LoadStateFile(statePath, error);
    if (!stored) return Fail(error);
  } else {
    stored = sim::FactoryBlock(sim::MakeUnit(scenario.unit));
  }
  if (fresh || scenario.fresh) stored.reset();

  if (seedOption->count() == 0) seed = std::random_device{}();
  std::cerr << "qzr71-headsim: seed " << seed << '\n';

  std::FILE* traceFile = nullptr;
  if (!tracePath.empty()) {
    traceFile = std::fopen(tracePath.c_str(), "w");
    if (!traceFile) return Fail("cannot write " + tracePath);
  }
  const auto traceStart = sim::Trace::Clock::now();
  sim::Trace trace(traceFile, traceStart);
  if (traceFile) {
    trace.Remark(traceStart, "qzr71-headsim trace: seconds sender bytes");
    const auto origin =
        std::chrono::duration_cast<std::chrono::nanoseconds>(traceStart.time_since_epoch());
    trace.Remark(traceStart,
                 "0 is " + std::to_string(origin.count()) + " ns on the monotonic clock");
  }

  // The block a finished run stored is written to the state file once the head has answered:
  // the file is synced, and a disk that takes seconds to sync must not keep the finishing
  // frame's acknowledgement from the tool until all its tries have timed out.
  std::optional<sim::HeadDataBlock> unsaved;
  sim::HeadEngine engine(scenario, stored, seed, [&statePath, &unsaved](const auto& block) {
    if (!statePath.empty()) unsaved = block;
  });
  const auto saveState = [&statePath, &unsaved] {
    if (!unsaved) return;
    std::string error;
    if (!sim::SaveStateFile(statePath, *unsaved, error))
      std::cerr << "qzr71-headsim: " << error << '\n';
    unsaved.reset();
  };

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) return Fail("signalfd failed");

  sim::ServerOptions options;
  if (!linkPath.empty()) options.link = linkPath;
  options.baud = baud;
  options.stopBits = stopBits;
  options.trace = &trace;
  options.announce = &std::cout;
  options.whenAnswered = saveState;
  std::string error;
  int status = 0;
  {
    sim::HeadServer server(engine, options);
    status = server.Run(stopFd, error);
  }
  saveState();  // stopped before its answers had all gone out
  if (traceFile) std::fclose(traceFile);
  if (status != 0) return Fail(error);
  return 0;
}
