#pragma once

// A pseudo-terminal pair: the simulator speaks on the master, the tool opens the slave device.
// The simulator keeps a slave descriptor of its own open, so the master never reports a hang-up
// while the tool has its side closed (it would poll as readable forever) and the line settings
// survive the tool closing and reopening its side.
//
// A pseudo-terminal keeps its slave's state while the master is open, the exclusive-use flag
// (TIOCEXCL) included: a tool that set it and then crashed, or never cleared it, would find its
// next open refused with EBUSY (root alone is let through). A real port forgets the flag at its
// last close, so the pair watches the slave device for closes and clears the flag then.

#include <optional>
#include <string>

namespace sim {

class PtyPair {
 public:
  static std::optional<PtyPair> Open(std::string& error);
  PtyPair(PtyPair&& other) noexcept;
  PtyPair& operator=(PtyPair&& other) noexcept;
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  ~PtyPair();

  int master() const { return master_; }
  // Readable when somebody closed the slave device; Acknowledge then clears the exclusive flag.
  int closeWatch() const { return watch_; }
  void AcknowledgeClose();
  const std::string& devicePath() const { return path_; }

 private:
  PtyPair() = default;
  void Close();

  int master_ = -1;
  int slave_ = -1;
  int watch_ = -1;
  std::string path_;
};

}  // namespace sim
