#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "link/BellOutput.h"
#include "link/HeadCommands.h"
#include "link/IdlePump.h"
#include "link/PortLink.h"
#include "run/MessageBoxes.h"

// A head that acknowledges every write; the test reads back what the window's run sent.
class AckingPort final : public PortLink {
 public:
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    written.emplace_back(bytes, bytes + count);
    return true;
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    if (count < 1) return 0;
    buffer[0] = head::kAck;
    return 1;
  }
  std::vector<std::vector<std::uint8_t>> written;
};

struct ShownBox {
  std::string text;
  std::string caption;
  friend bool operator==(const ShownBox&, const ShownBox&) = default;
};

class RecordingBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string& text, const std::string& caption) override {
    shown.push_back({text, caption});
  }
  std::vector<ShownBox> shown;
};

class CountingBell final : public BellOutput {
 public:
  void Ring() override { ++rings; }
  int rings = 0;
};

class CountingPump final : public IdlePump {
 public:
  void Pump() override { ++pumps; }
  int pumps = 0;
};

// A fresh directory for one test's settings file, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    while (!std::filesystem::create_directory(
        path_ = std::filesystem::temp_directory_path() /
                ("qzr71-link-" + std::to_string(random()) + std::to_string(random())))) {
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

inline std::size_t EntriesIn(const std::filesystem::path& directory) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++n;
  return n;
}
