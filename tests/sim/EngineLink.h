#pragma once

// The port as the tool sees it, with the simulated head's engine directly behind it: no
// pseudo-terminal, no clock. Answers later than the read's time-out (500 + 5 ms per byte) miss
// that read and arrive for the next one; a hang-up kills the line.

#include <algorithm>
#include <vector>

#include "link/PortLink.h"
#include "sim/HeadEngine.h"

class EngineLink final : public PortLink {
 public:
  explicit EngineLink(sim::HeadEngine& engine) : engine_(engine) {}

  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    if (dead_) return false;
    for (sim::Answer& answer : engine_.Receive({bytes, count}))
      pending_.push_back(std::move(answer));
    return true;
  }

  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    const auto timeout = std::chrono::milliseconds(500 + 5 * count);
    std::vector<std::uint8_t> arrived = std::move(carried_);
    carried_.clear();
    for (const sim::Answer& answer : pending_) {
      if (answer.hangUp) dead_ = true;
      auto& into = answer.delay <= timeout ? arrived : carried_;
      into.insert(into.end(), answer.bytes.begin(), answer.bytes.end());
    }
    pending_.clear();
    if (dead_) return 0;
    const auto n = std::min<std::size_t>(count, arrived.size());
    std::copy_n(arrived.begin(), n, buffer);
    return static_cast<std::uint32_t>(n);  // the rest is purged
  }

  bool dead() const { return dead_; }

 private:
  sim::HeadEngine& engine_;
  std::vector<sim::Answer> pending_;
  std::vector<std::uint8_t> carried_;
  bool dead_ = false;
};
