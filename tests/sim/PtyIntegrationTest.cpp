// The project's own link layer talks to the qzr71-headsim program over a real pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "link/PortDriver.h"
#include "link/Primitives.h"
#include "link/TermiosSerialDevice.h"
#include "run/MessageBoxes.h"
#include "run/PortSettingsModel.h"
#include "sim/StoredData.h"
#include "tests/sim/ToolRun.h"
#include "tests/support/HeadSimulator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class SilentBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string& text, const std::string&) override {
    shown.push_back(text);
  }
  std::vector<std::string> shown;
};

// The tool's port on COM1, pointed at the simulator's device.
class ToolPort {
 public:
  ToolPort(const fs::path& dir, const std::string& device)
      : driver_(serial_), settings_(driver_, boxes_, dir / "comm.ini") {
    ::setenv("QZR71_COM1", device.c_str(), 1);
    settings_.FormCreate();
    ::unsetenv("QZR71_COM1");
  }
  bool open() const { return driver_.IsOpen(); }
  PortDriver& link() { return driver_; }
  std::function<void()> runStarting() {
    return [this] { settings_.RunStarting(); };
  }

 private:
  TermiosSerialDevice serial_;
  SilentBoxes boxes_;
  PortDriver driver_;
  PortSettingsModel settings_;
};

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line.substr(line.find(' ') + 1));
  }
  return lines;
}

class OverPty : public testing::Test {
 protected:
  OverPty() {
    char pattern[] = "/tmp/qzr71-sim-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  ~OverPty() override { fs::remove_all(dir_); }

  fs::path File(const std::string& name, const std::string& text = {}) {
    if (!text.empty()) std::ofstream(dir_ / name) << text;
    return dir_ / name;
  }

  fs::path dir_;
  CountingBell bell_;
};

TEST_F(OverPty, AHealthyHeadPassesAWholeRunAndTracesEveryByte) {
  HeadSimulator sim({"--seed", "3", "--trace", File("trace").string()});
  const std::string device = sim.NextLine();
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  ToolPort port(dir_, device);
  ASSERT_TRUE(port.open());
  ToolRun run(port.link(), port.runStarting());
  const ToolRunResult result = run.Run();
  EXPECT_TRUE(result.completed());
  EXPECT_EQ(result.bells, 0);
  EXPECT_EQ(sim.Stop(), 0);

  const std::vector<std::string> trace = Lines(File("trace"));
  ASSERT_GT(trace.size(), 1000u);
  EXPECT_EQ(trace[0], "tool B1");
  EXPECT_EQ(trace[1], "head 06");
  EXPECT_EQ(trace[2], "tool 05");
  EXPECT_EQ(trace[3], "head 4F 4B");
  EXPECT_EQ(trace[4], "tool 05");
  EXPECT_EQ(trace[5].size(), std::string("head").size() + 160 * 3);
  EXPECT_EQ(trace[6], "tool 10 01 C4");
  EXPECT_EQ(trace[8], "tool 10 02 D3 31");
  EXPECT_EQ(trace.back(), "head 06");
  EXPECT_EQ(trace[trace.size() - 2].substr(0, 17), "tool 10 1E D1 01 ");
}

TEST_F(OverPty, TheNextSessionReadsWhatTheLastOneStored) {
  const fs::path state = File("head.state");
  ToolRunResult first;
  {
    HeadSimulator sim({"--state", state.string(), "--seed", "5"});
    ToolPort port(dir_, sim.NextLine());
    ToolRun run(port.link(), port.runStarting());
    first = run.Run();
    ASSERT_TRUE(first.completed());
    EXPECT_EQ(sim.Stop(), 0);
  }
  std::string error;
  const auto saved = sim::LoadStateFile(state, error);
  ASSERT_TRUE(saved) << error;

  HeadSimulator sim({"--state", state.string()});
  ToolPort port(dir_, sim.NextLine());
  ASSERT_EQ(SendCommand(port.link(), bell_, head::kCmdReadStoredData), 1);
  std::array<std::uint8_t, 160> reply{};
  ASSERT_EQ(QueryReply(port.link(), bell_, 2, reply.data(), 1, &head::kEnq), 1);
  EXPECT_EQ(reply[0], 'O');
  ASSERT_EQ(QueryReply(port.link(), bell_, 160, reply.data(), 1, &head::kEnq), 1);
  EXPECT_EQ(reply, *saved);
  EXPECT_EQ(0, std::memcmp(reply.data() + 24, "S1 V1.06", 8));
  EXPECT_TRUE(
      std::equal(first.record.PaperGain.begin(), first.record.PaperGain.end(), reply.begin() + 56));
  EXPECT_EQ(head::LittleEndian16(reply.data() + 158), first.record.CheckWord);
}

TEST_F(OverPty, ServesAcrossReopeningAndIdlesWithoutSpinning) {
  HeadSimulator sim({});
  const std::string device = sim.NextLine();
  for (int session = 0; session < 3; ++session) {
    ToolPort port(dir_, device);
    ASSERT_TRUE(port.open()) << "session " << session;
    EXPECT_EQ(SendCommand(port.link(), bell_, head::kCmdEndReading), 1);
  }
  const double before = sim.CpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(sim.CpuSeconds() - before, 0.1) << "busy while nobody has the line open";
  ToolPort port(dir_, device);
  EXPECT_EQ(SendCommand(port.link(), bell_, head::kCmdEndReading), 1);
}

// A pseudo-terminal would keep the exclusive-use flag after the tool closed its side, and the
// tool's next open would fail with EBUSY (root alone is let through, so ask the flag itself).
TEST_F(OverPty, TheExclusiveFlagIsGoneOnceTheToolClosedItsSide) {
  HeadSimulator sim({});
  const std::string device = sim.NextLine();
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
  ::close(fd);
  std::this_thread::sleep_for(200ms);
  fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(fd);
}

TEST_F(OverPty, AHangUpFailsTheExchangeAtOnceAndANewLineFollows) {
  const fs::path link = File("head");
  HeadSimulator sim({"--link", link.string(), "--scenario",
                     File("pull.scn", "hangup cmd:B1 1 down=300\n").string()});
  const std::string first = sim.NextLine();
  ASSERT_EQ(fs::read_symlink(link), first);
  {
    ToolPort port(dir_, link.string());
    ASSERT_TRUE(port.open());
    const auto start = Clock::now();
    EXPECT_EQ(SendCommand(port.link(), bell_, head::kCmdReadStoredData), 0);
    EXPECT_LT(Clock::now() - start, 1500ms);
  }
  const std::string second = sim.NextLine();
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(fs::read_symlink(link), second);
  ToolPort port(dir_, link.string());
  ASSERT_TRUE(port.open());
  EXPECT_EQ(SendCommand(port.link(), bell_, head::kCmdReadStoredData), 1);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link is removed on exit";
}

TEST_F(OverPty, ReplacesAStaleLinkButNeverAFile) {
  const fs::path link = File("head");
  fs::create_symlink("/dev/pts/nonexistent", link);
  {
    HeadSimulator sim({"--link", link.string()});
    EXPECT_EQ(fs::read_symlink(link), sim.NextLine());
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
  }
  const fs::path file = File("notes.txt", "keep me\n");
  HeadSimulator sim({"--link", file.string()});
  EXPECT_EQ(sim.Wait(), 2);
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "keep me");
}

TEST_F(OverPty, PacesAnswersAtTheLineSpeedWithinTheToolsTimeOut) {
  HeadSimulator sim({"--baud", "2400", "--stop-bits", "2"});
  ToolPort port(dir_, sim.NextLine());
  std::array<std::uint8_t, 160> reply{};
  ASSERT_EQ(SendCommand(port.link(), bell_, head::kCmdReadStoredData), 1);
  ASSERT_EQ(QueryReply(port.link(), bell_, 2, reply.data(), 1, &head::kEnq), 1);
  const auto start = Clock::now();
  EXPECT_EQ(QueryReply(port.link(), bell_, 160, reply.data(), 1, &head::kEnq), 1);
  // 161 bytes of 12 bits at 2400 baud: about 0.8 s.
  EXPECT_GE(Clock::now() - start, 780ms);
  EXPECT_EQ(bell_.rings, 0);
}

TEST_F(OverPty, ALateAnswerMissesOneAttemptAndIsTakenByTheRetry) {
  HeadSimulator sim({"--scenario", File("late.scn", "late enq:C4 1\n").string()});
  ToolPort port(dir_, sim.NextLine());
  std::array<std::uint8_t, 40> reply{};
  ASSERT_EQ(SendCommand(port.link(), bell_, head::kCmdTakeReading), 1);
  EXPECT_EQ(QueryReply(port.link(), bell_, 40, reply.data(), 1, &head::kEnq), 1);
  EXPECT_EQ(bell_.rings, 1);
}

TEST_F(OverPty, RefusesABrokenScenarioWithItsLine) {
  HeadSimulator sim({"--scenario", File("bad.scn", "silent any\nstuck nowhere 3\n").string()});
  EXPECT_EQ(sim.Wait(), 2);
}

}  // namespace
