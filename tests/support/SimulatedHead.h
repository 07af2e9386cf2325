#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The simulated head as its own program, serving on the line that the tool's COM1 reaches. The
// stage tests use only this, so that they run unchanged on each platform the core is built for:
// on Linux the simulator is a child on a pseudo-terminal that QZR71_COM1 names; under Wine it runs
// natively beside the test, on the line that the prefix's COM1 leads to, or on the line of the
// port that ctest lent the test, which QZR71_COM1 then names.
#ifndef _WIN32
class Ser2net;
#endif

class SimulatedHead {
 public:
  // Starts qzr71-headsim with the options and returns once COM1 reaches its line.
  explicit SimulatedHead(const std::vector<std::string>& options);
  ~SimulatedHead();
  SimulatedHead(const SimulatedHead&) = delete;
  SimulatedHead& operator=(const SimulatedHead&) = delete;

  // Asks the simulator to stop and waits for it: its exit status, -1 when it had to be killed.
  // Once it has returned, the simulator's trace is complete.
  int Stop();

  // From now on COM1 reaches the head through a serial device server on 127.0.0.1 (ser2net with
  // RFC 2217) that serves the line COM1 reached so far. Under Wine that server is the one
  // scripts/test-windows.sh keeps for the prefix's line.
  void ServeOverRfc2217();

  // The name by which the simulator reaches a file of this test.
  static std::string PathForHead(const std::filesystem::path& path);
  // A file of the scenario catalogue (sim/scenarios), as the simulator names it.
  static std::string Scenario(const std::string& file);

#ifdef _WIN32
  // The same on another line of the run directory, which another port of the prefix leads to.
  SimulatedHead(const std::vector<std::string>& options, const std::string& line);
#else
  // The pseudo-terminal the head serves on, and the next line it prints (a new terminal after it
  // hung up).
  std::string DevicePath() const;
  std::string NextLine(std::chrono::milliseconds limit);
  // The server ServeOverRfc2217 started, which a test may stop and start again.
  Ser2net& Server();
#endif

 private:
  class Process;
  std::unique_ptr<Process> process_;
};
