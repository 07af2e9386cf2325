#include "sim/Trace.h"

namespace sim {

double Trace::Seconds(Clock::time_point when) const {
  return std::chrono::duration<double>(when - start_).count();
}

void Trace::Bytes(Clock::time_point when, std::string_view sender,
                  std::span<const std::uint8_t> bytes) {
  if (!file_) return;
  std::fprintf(file_, "%.6f %.*s", Seconds(when), static_cast<int>(sender.size()), sender.data());
  for (const std::uint8_t byte : bytes) std::fprintf(file_, " %02X", byte);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void Trace::Remark(Clock::time_point when, std::string_view text) {
  if (!file_) return;
  std::fprintf(file_, "# %.6f %.*s\n", Seconds(when), static_cast<int>(text.size()), text.data());
  std::fflush(file_);
}

}  // namespace sim
