#pragma once

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "link/HeadCommands.h"

// The head acknowledges every byte it gets until the tool sends the stop byte 0xFF.
class AcknowledgingHead {
 public:
  AcknowledgingHead(int master, std::atomic<long>& received)
      : master_(master), received_(received), thread_([this] { Run(); }) {}
  ~AcknowledgingHead() { thread_.join(); }

 private:
  void Run() {
    for (;;) {
      pollfd ready{master_, POLLIN, 0};
      if (poll(&ready, 1, 5000) <= 0) return;
      std::uint8_t bytes[64];
      const ssize_t n = ::read(master_, bytes, sizeof bytes);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] == 0xFF) return;
        ++received_;
        const std::uint8_t ack = head::kAck;
        if (::write(master_, &ack, 1) != 1) return;
      }
    }
  }
  int master_;
  std::atomic<long>& received_;
  std::thread thread_;
};
