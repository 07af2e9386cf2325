#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/BellOutput.h"
#include "link/PortLink.h"
#include "tests/support/Recorders.h"  // CountingBell

using Bytes = std::vector<std::uint8_t>;

// A head that answers each write with the next scripted answer (none when the script has run
// out: a silent head). Like the driver, a read takes what is there and discards the rest.
class ScriptedPort final : public PortLink {
 public:
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    if (!open) return false;
    written.emplace_back(bytes, bytes + count);
    pending_.clear();
    if (!answers.empty()) {
      pending_ = answers.front();
      answers.pop_front();
    }
    return true;
  }

  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    const std::size_t n = std::min<std::size_t>(count, pending_.size());
    std::copy_n(pending_.begin(), n, buffer);
    pending_.clear();
    return static_cast<std::uint32_t>(n);
  }

  void Answer(Bytes bytes, int times = 1) {
    for (int i = 0; i < times; ++i) answers.push_back(bytes);
  }

  bool open = true;
  std::deque<Bytes> answers;
  std::vector<Bytes> written;

 private:
  Bytes pending_;
};
