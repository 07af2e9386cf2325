#pragma once

// The tool's side of a whole adjustment run, as its documented steps exchange bytes with the
// head and judge the replies, built on the project's own exchange primitives. Tests run it
// against the simulated head to show that a healthy head passes and each fault fails where it
// should.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/BellOutput.h"
#include "link/HeadCommands.h"
#include "link/PortLink.h"

struct RunResult {
  std::string failure;             // empty when the run completed
  std::vector<std::string> notes;  // failures logged without stopping the run
  bool hadData = false;
  std::array<std::uint8_t, 160> block{};
  std::uint32_t motorSpeed = 0;
  std::array<std::uint8_t, 24> paperGain{}, daValue{}, blackLevel{};
  std::array<std::uint8_t, 16> noPaperGain{}, noPaperLevel{};
  std::uint16_t checkWord = 0;
  int gainPasses24 = 0, gainPasses16 = 0, daReadings = 0, s0tPolls = 0, overVoltagePasses = 0;
};

class CountingBell final : public BellOutput {
 public:
  void Ring() override { ++rings; }
  int rings = 0;
};

class AdjustmentRun {
 public:
  explicit AdjustmentRun(PortLink& port) : port_(port) {}

  RunResult Run(const std::array<std::uint8_t, 32>& identification);
  int bells() const { return bell_.rings; }

 private:
  struct Stop {
    std::string why;
  };
  void Command(std::uint8_t code, const char* where);
  void Send(const head::Frame& frame, const char* where);
  void Query(std::uint8_t length, const char* where);
  void Reading(const char* where);  // C4, 40 bytes, A6

  void StoredData();
  void MotorSpeed();
  void RegisterCheck();
  void AdjustGain(bool longSet);
  void AdjustDa();
  void DataSelect();
  void BlackLevel();
  void NonPaper();
  void FrontExit();
  void CheckWord();
  void WriteBack(const std::array<std::uint8_t, 32>& identification);

  PortLink& port_;
  CountingBell bell_;
  std::array<std::uint8_t, 160> reply_{};
  std::uint8_t frontInPaper_ = 0, exitInPaper_ = 0;
  RunResult result_;
};
