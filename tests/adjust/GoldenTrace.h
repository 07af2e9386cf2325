#pragma once

// A row's whole conversation, pinned in a reviewed file: every message the tool sent, in order,
// one a line, its name and then its bytes in hex. A difference names the first message that
// differs and shows both. With QZR71_REWRITE_GOLDEN=1 the run writes the file instead; the diff
// is read in the commit that changes it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/HeadCommands.h"
#include "tests/support/HeadTrace.h"

inline std::string MessageName(const Bytes& m) {
  if (m.size() == 1) {
    switch (m[0]) {
      case head::kEnq:
        return "05 ENQ";
      case head::kCmdReadStoredData:
        return "B1 read stored data";
      case head::kCmdTakeReading:
        return "C4 take reading";
      case head::kCmdEndReading:
        return "A6 end reading";
    }
  } else if (m.size() >= 3 && m[0] == head::kFrameLead) {
    switch (m[2]) {
      case head::kFrameOpening:
        return "C4 opening frame";
      case head::kFrameMotor:
        return m.size() > 3 && m[3] == head::kMotorStartData ? "D3 motor start" : "D3 motor stop";
      case head::kFrameMotorSpeed:
        return "D4 speed request";
      case head::kFrameDa24:
        return "C0 D/A frame 24";
      case head::kFrameGain24:
        return "C1 gain frame 24";
      case head::kFrameGain16:
        return "C2 gain frame 16";
      case head::kFrameS0tAdjust:
        return "A0 s0t_ir regulation";
      case head::kFrameDaAdjust:
        return "A1 D/A regulation";
      case head::kFrameBlackLevel:
        return "A2 black levels";
      case head::kFrameNoPaperBlock:
        return "A3 no-paper block";
      case head::kFrameFrontExit:
        return "A7 front/exit levels";
      case head::kFrameCheckWord:
        return "D5 check word";
      case head::kFrameIdentification:
        return "B2 identification";
      case head::kFrameFinish:
        return "D1 finish frame";
    }
  }
  return "?? unknown";
}

inline std::string GoldenLine(const Bytes& message) {
  std::string line = MessageName(message);
  line.resize(24, ' ');
  for (std::size_t i = 0; i < message.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", message[i]);
    line += hex;
  }
  return line;
}

// Compares the messages with the golden file NAME.trace, or writes it when asked to.
inline void ExpectGolden(const std::string& name, const std::string& about,
                         const std::vector<Bytes>& sent) {
  const std::filesystem::path file = std::filesystem::path(QZR71_GOLDEN_DIR) / (name + ".trace");
  std::vector<std::string> lines;
  for (const Bytes& message : sent) lines.push_back(GoldenLine(message));

  const char* rewrite = std::getenv("QZR71_REWRITE_GOLDEN");
  if (rewrite != nullptr && std::string(rewrite) == "1") {
    std::ofstream out(file, std::ios::binary);
    out << "# " << name << ": " << about << "\n"
        << "# Every message the tool sends, in order: its name, then its bytes in hex.\n";
    for (const std::string& line : lines) out << line << "\n";
    ASSERT_TRUE(out.good()) << "cannot write " << file;
    return;
  }
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << "no golden trace " << file << ": QZR71_REWRITE_GOLDEN=1 writes it";
  std::vector<std::string> golden;
  std::vector<std::size_t> lineNumbers;
  std::size_t number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    if (text.empty() || text[0] == '#') continue;
    golden.push_back(text);
    lineNumbers.push_back(number);
  }
  for (std::size_t i = 0; i < std::max(golden.size(), lines.size()); ++i) {
    const std::string want = i < golden.size() ? golden[i] : "(the file ends here)";
    const std::string got = i < lines.size() ? lines[i] : "(the tool sent no more)";
    if (want == got) continue;
    ADD_FAILURE() << "message " << i + 1 << " differs from " << file.filename().string()
                  << (i < golden.size() ? ", line " + std::to_string(lineNumbers[i]) : "")
                  << ":\n  golden: " << want << "\n  sent:   " << got;
    return;
  }
}
