#pragma once

// qzr71-headsim as a separate program, as the tool meets it: started with its options, the
// pseudo-terminal it serves on read from its first line of output, stopped with a signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

class HeadSimulator {
 public:
  // Starts the program; throws when it cannot be started.
  HeadSimulator(const std::string& program, const std::vector<std::string>& options) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args{program};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // posix_spawn, not fork: the caller may be a program with threads (Qt's, the sanitizers').
    const int spawned =
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
    if (spawned != 0) {
      pid_ = -1;
      ::close(out_);
      throw std::runtime_error("cannot start " + program);
    }
  }
#ifdef QZR71_HEADSIM
  explicit HeadSimulator(const std::vector<std::string>& options)
      : HeadSimulator(QZR71_HEADSIM, options) {}
#endif

  ~HeadSimulator() {
    Stop();
    if (out_ >= 0) ::close(out_);
  }
  HeadSimulator(const HeadSimulator&) = delete;
  HeadSimulator& operator=(const HeadSimulator&) = delete;

  // The pseudo-terminal it serves on: its first line, waited for once. Throws when none comes.
  const std::string& DevicePath() {
    if (devicePath_.empty()) {
      devicePath_ = NextLine(std::chrono::seconds(10));
      if (devicePath_.empty()) throw std::runtime_error("the simulated head printed no device");
    }
    return devicePath_;
  }

  // The next line it prints (after a hang-up, the device it offers once the line is back), or ""
  // when none comes in time.
  std::string NextLine(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
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

  // Sends the signal and returns the exit status: -1 when it did not exit by itself, or had to be
  // killed after five seconds. Once stopped, a later call returns the same status.
  int Stop(int signal = SIGTERM) {
    if (pid_ < 0) return exitStatus_;
    ::kill(pid_, signal);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) return Reaped(status);
      ::usleep(10'000);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    Reaped(status);
    exitStatus_ = -1;
    return exitStatus_;
  }
  // Waits for it to exit by itself.
  int Wait() {
    if (pid_ < 0) return exitStatus_;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    return Reaped(status);
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
  int Reaped(int status) {
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitStatus_;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int exitStatus_ = -1;
  std::string devicePath_;
  std::string buffer_;
};
