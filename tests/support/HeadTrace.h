#pragma once

// The simulated head's trace file: one line per message from the tool and per answer of the head.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/HeadCommands.h"

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

struct TraceLine {
  std::string sender;  // "tool" or "head"
  Bytes bytes;
};

inline std::vector<TraceLine> ReadTrace(const std::filesystem::path& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    std::string seconds;
    TraceLine line;
    fields >> seconds >> line.sender;
    std::string hex;
    while (fields >> hex)
      line.bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    lines.push_back(line);
  }
  return lines;
}

inline std::vector<Bytes> Sent(const std::vector<TraceLine>& trace, const std::string& sender) {
  std::vector<Bytes> sent;
  for (const auto& line : trace) {
    if (line.sender == sender) sent.push_back(line.bytes);
  }
  return sent;
}

inline Bytes Of(const head::Frame& frame) {
  return {frame.Bytes().begin(), frame.Bytes().end()};
}

// How many of the tool's messages are frames with this command byte.
inline std::size_t FramesWith(const std::vector<Bytes>& sent, std::uint8_t command) {
  std::size_t n = 0;
  for (const Bytes& message : sent) {
    if (message.size() >= 3 && message[0] == head::kFrameLead && message[2] == command) ++n;
  }
  return n;
}

// What was wrong when a run that was abandoned at the question did send more than the check word
// and the ENQ for its echo (no identification block, no finish frame); empty when nothing was.
inline std::string SentAfterTheCheckWord(const std::vector<Bytes>& sent) {
  if (FramesWith(sent, head::kFrameIdentification) != 0) return "the identification block was sent";
  if (FramesWith(sent, head::kFrameFinish) != 0) return "the finish frame was sent";
  if (sent.size() < 2) return "the check word was not sent";
  if (sent.back() != Bytes{head::kEnq})
    return "something followed the ENQ for the check word's echo";
  if (sent[sent.size() - 2].size() < 3 || sent[sent.size() - 2][2] != head::kFrameCheckWord) {
    return "the check word was not the last frame";
  }
  return "";
}
