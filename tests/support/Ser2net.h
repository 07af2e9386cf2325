#pragma once

// Debian's ser2net as the serial device server of the tests and benchmarks: it serves one device
// (a pseudo-terminal, or the simulated head's link) on 127.0.0.1 with RFC 2217, as a bench's
// server would. It opens the device when a client connects, so a device that is not there yet, or
// a link that moves to a new line, is found at each connection.

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class Ser2net {
 public:
  // Serves the device on a free port.
  explicit Ser2net(std::string device) : device_(std::move(device)), port_(FreePort()) { Start(); }
  ~Ser2net() { Stop(); }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
  int Port() const { return port_; }

  // Serves again on the same port, as a server that was restarted.
  void Start() {
    if (pid_ > 0) return;
    const std::string log =
        "/tmp/qzr71-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(port_) + ".log";
    std::vector<std::string> args{
        QZR71_SER2NET,
        "-n",
        "-u",
        "-Y",
        "connection: &head",
        "-Y",
        "  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port_),
        "-Y",
        "  connector: serialdev," + device_ + ",9600e81,local"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      throw std::runtime_error(std::string("cannot start ") + QZR71_SER2NET +
                               " (bash scripts/install-deps.sh ser2net)");
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Listening()) {
      if (std::chrono::steady_clock::now() > giveUp || waitpid(pid_, nullptr, WNOHANG) == pid_) {
        Stop();
        std::ifstream in(log);
        std::ostringstream said;
        said << in.rdbuf();
        throw std::runtime_error("ser2net did not listen on port " + std::to_string(port_) + ": " +
                                 said.str());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::remove(log.c_str());
  }

  // Waits until the server has closed its device, which it does a moment after its client left:
  // a device opened on the line before that shares the line with it.
  void WaitUntilTheLineIsFree() const {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (HoldsTheLine() && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // Ends the server and with it every connection it served.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    while (Listening()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

 private:
  bool HoldsTheLine() const {
    std::error_code error;
    const std::filesystem::path line = std::filesystem::canonical(device_, error);
    const std::filesystem::path open = "/proc/" + std::to_string(pid_) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(open, error)) {
      if (std::filesystem::read_symlink(fd.path(), error) == line) return true;
    }
    return false;
  }

  static int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      close(probe);
      throw std::runtime_error("no free port");
    }
    close(probe);
    return ntohs(address.sin_port);
  }

  // Whether something listens on the port, from the kernel's table rather than by connecting,
  // which would make the server open its device.
  bool Listening() const {
    char local[16];
    std::snprintf(local, sizeof local, "0100007F:%04X", port_);
    std::ifstream table("/proc/net/tcp");
    for (std::string line; std::getline(table, line);) {
      std::istringstream fields(line);
      std::string slot, address, remote, state;
      fields >> slot >> address >> remote >> state;
      if (address == local && state == "0A") return true;
    }
    return false;
  }

  std::string device_;
  int port_;
  pid_t pid_ = -1;
};
