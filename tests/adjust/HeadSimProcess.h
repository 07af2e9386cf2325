#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

// The simulated head as its own process, serving on a pseudo-terminal whose path it prints first.
class HeadSimProcess {
 public:
  HeadSimProcess(const std::string& program, const std::vector<std::string>& options) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args{program};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    stdout_ = out[0];
    if (spawned != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + program);
    }
    try {
      devicePath_ = NextLine(std::chrono::seconds(10));
    } catch (...) {
      // The destructor will not run: do not leave the simulator serving behind the test.
      Stop();
      throw;
    }
  }

  ~HeadSimProcess() { Stop(); }
  HeadSimProcess(const HeadSimProcess&) = delete;
  HeadSimProcess& operator=(const HeadSimProcess&) = delete;

  const std::string& DevicePath() const { return devicePath_; }

  // The next line it prints: after a hang-up, the device it offers once the line is back.
  std::string NextLine(std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd fd{stdout_, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      char c = 0;
      if (read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line.push_back(c);
    }
    throw std::runtime_error("the simulated head printed no line in time");
  }

  // SIGTERM, then the exit status (-1 when it had to be killed).
  int Stop() {
    if (pid_ < 0) return exitStatus_;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        close(stdout_);
        return exitStatus_;
      }
      usleep(10'000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(stdout_);
    return exitStatus_;
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  int exitStatus_ = -1;
  std::string devicePath_;
};
