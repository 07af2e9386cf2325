#pragma once

// The trace file: one line per message from the tool and per answer from the head, with the
// seconds since the simulator started on the monotonic clock, who sent the bytes, and the bytes
// in hex. Lines starting with '#' are remarks (start, hang-up, a frame the tool never finished).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

namespace sim {

class Trace {
 public:
  using Clock = std::chrono::steady_clock;

  Trace(std::FILE* file, Clock::time_point start) : file_(file), start_(start) {}

  void Bytes(Clock::time_point when, std::string_view sender, std::span<const std::uint8_t> bytes);
  void Remark(Clock::time_point when, std::string_view text);

 private:
  double Seconds(Clock::time_point when) const;

  std::FILE* file_;
  Clock::time_point start_;
};

}  // namespace sim
