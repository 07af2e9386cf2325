// The simulated head as a child process on its own pseudo-terminal, which QZR71_COM1 names.

#include <stdlib.h>

#include <optional>

#include "tests/support/HeadSimulator.h"
#include "tests/support/Ser2net.h"
#include "tests/support/SimulatedHead.h"

class SimulatedHead::Process : public HeadSimulator {
 public:
  using HeadSimulator::HeadSimulator;
  // Ends before the head does, as a server in front of it would be switched off first.
  std::optional<Ser2net> server;
};

SimulatedHead::SimulatedHead(const std::vector<std::string>& options)
    : process_(std::make_unique<Process>(QZR71_HEADSIM, options)) {
  setenv("QZR71_COM1", process_->DevicePath().c_str(), 1);
}

SimulatedHead::~SimulatedHead() {
  unsetenv("QZR71_COM1");
}

int SimulatedHead::Stop() {
  return process_->Stop();
}

void SimulatedHead::ServeOverRfc2217() {
  process_->server.emplace(getenv("QZR71_COM1"));
  setenv("QZR71_COM1", process_->server->Address().c_str(), 1);
}

Ser2net& SimulatedHead::Server() {
  return *process_->server;
}

std::string SimulatedHead::PathForHead(const std::filesystem::path& path) {
  return path.string();
}

std::string SimulatedHead::Scenario(const std::string& file) {
  return std::string(QZR71_SCENARIOS) + "/" + file;
}

std::string SimulatedHead::DevicePath() const {
  return process_->DevicePath();
}

std::string SimulatedHead::NextLine(std::chrono::milliseconds limit) {
  return process_->NextLine(limit);
}
