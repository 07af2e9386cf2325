#pragma once

// qzr71-headsim as a separate program, as the tool meets it: started with its options, its
// device path read from its first line of output, stopped with a signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& options) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv = {const_cast<char*>(QZR71_HEADSIM)};
      for (const auto& option : options) argv.push_back(const_cast<char*>(option.c_str()));
      argv.push_back(nullptr);
      ::execv(QZR71_HEADSIM, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~SimProcess() {
    if (pid_ > 0 && !stopped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The next line the program prints, or "" when none comes in time.
  std::string NextLine(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return "";
      char chunk[256];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // Sends the signal and returns the exit status (-1 when it did not exit normally).
  int Stop(int signal = SIGTERM) {
    ::kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    stopped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // User and system time the program has used, from /proc.
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
      if (i == 14) user = std::stoull(field);
      if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool stopped_ = false;
  std::string buffer_;
};
