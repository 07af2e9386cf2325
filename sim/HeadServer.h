#pragma once

// Serves the head engine on a pseudo-terminal until a stop signal arrives: reads the tool's
// bytes, paces the head's answers at the line's byte time when asked, writes the trace, and
// plays hang-ups by closing the line and offering a new one after the fault's down time.

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "sim/HeadEngine.h"
#include "sim/PtyPair.h"
#include "sim/Trace.h"

namespace sim {

struct ServerOptions {
  std::optional<std::filesystem::path> link;  // symlink to the tool's side
  int baud = 0;                               // 0: answers at once
  int stopBits = 1;
  Trace* trace = nullptr;
  std::ostream* announce = nullptr;  // one line per device path offered to the tool
  // Work that must not hold up an answer, such as syncing a file to a slow disk: called once
  // every answer due has gone out.
  std::function<void()> whenAnswered;
};

class HeadServer {
 public:
  using Clock = std::chrono::steady_clock;

  HeadServer(HeadEngine& engine, ServerOptions options);
  ~HeadServer();

  // Runs until stopFd (a signalfd or pipe) becomes readable. Returns 0, or 1 after an error it
  // has written to errorText.
  int Run(int stopFd, std::string& errorText);

 private:
  struct Segment {
    Clock::time_point start;
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    bool traced = false;
    bool hangUp = false;
    std::chrono::milliseconds downTime{0};
  };

  bool OpenLine(std::string& errorText);
  bool PointLink(std::string& errorText);
  void RemoveLink();
  void ReadInput(Clock::time_point now);
  void Schedule(const Answer& answer, Clock::time_point now);
  bool SendDue(Clock::time_point now, std::string& errorText);
  Clock::duration ByteTime() const;

  HeadEngine& engine_;
  ServerOptions options_;
  std::optional<PtyPair> line_;
  std::deque<Segment> queue_;
  Clock::time_point queueEnd_{};
  Clock::time_point lastInput_{};
  std::optional<Clock::time_point> lineBackAt_;
  bool reportedOverflow_ = false;
};

}  // namespace sim
