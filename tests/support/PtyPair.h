#pragma once

// A pseudo-terminal for the tests and benchmarks: the tool opens the slave side by its path, as it
// would a serial port, and the test plays the head on the master side.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Send(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pseudo-terminal write failed");
      done += static_cast<std::size_t>(n);
    }
  }

  // Whatever the tool sent within the wait, up to max bytes; stops early once max arrived.
  std::vector<std::uint8_t> Receive(
      std::size_t max, std::chrono::milliseconds wait = std::chrono::milliseconds(300)) const {
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (bytes.size() < max) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd ready{master_, POLLIN, 0};
      if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
      std::uint8_t chunk[512];
      const std::size_t want = std::min(sizeof chunk, max - bytes.size());
      const ssize_t n = ::read(master_, chunk, want);
      if (n <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};
