// The exchange primitives against a scripted head: each attempt's answer is given in advance.

#include "link/Primitives.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

#include "tests/support/Recorders.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Records every write and answers each read with the next scripted reply (nothing when the
// script has run out). A closed port fails every write.
class ScriptedHead final : public PortLink {
 public:
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    writes.emplace_back(bytes, bytes + count);
    return open;
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    ++reads;
    if (replies.empty()) return 0;
    Bytes reply = replies.front();
    replies.pop_front();
    const std::size_t n = std::min<std::size_t>(count, reply.size());
    std::copy_n(reply.begin(), n, buffer);
    return static_cast<std::uint32_t>(n);
  }

  bool open = true;
  std::deque<Bytes> replies;
  std::vector<Bytes> writes;
  int reads = 0;
};

enum class Primitive { Command, Frame, Query };

// Runs one primitive: the command 0xA6, the frame 10 01 A2, or ENQ for a 3-byte reply.
std::uint8_t Exchange(Primitive primitive, ScriptedHead& head, BellOutput& bell, Bytes& reply) {
  reply.assign(3, 0);
  const std::uint8_t enq = head::kEnq;
  switch (primitive) {
    case Primitive::Command:
      return SendCommand(head, bell, head::kCmdEndReading);
    case Primitive::Frame:
      return SendFrame(head, bell, head::BlackLevelStartFrame());
    default:
      return QueryReply(head, bell, 3, reply.data(), 1, &enq);
  }
}

Bytes Sent(Primitive primitive) {
  switch (primitive) {
    case Primitive::Command:
      return {head::kCmdEndReading};
    case Primitive::Frame:
      return {0x10, 0x01, 0xA2};
    default:
      return {head::kEnq};
  }
}

Bytes Good(Primitive primitive) {
  return primitive == Primitive::Query ? Bytes{7, 8, 9} : Bytes{head::kAck};
}

Bytes Bad(Primitive primitive) {
  return primitive == Primitive::Query ? Bytes{7, 8} : Bytes{0x15};
}

struct Script {
  const char* name;
  Primitive primitive;
  int badAttempts;  // answered wrongly (or short) before the good answer; 4 means never good
};

class Retries : public testing::TestWithParam<Script> {};

std::string ScriptName(const testing::TestParamInfo<Script>& param) {
  return param.param.name;
}

TEST_P(Retries, TransmitUntilAnsweredAtMostFourTimesWithABellBetween) {
  const Script& script = GetParam();
  ScriptedHead head;
  for (int i = 0; i < script.badAttempts; ++i) head.replies.push_back(Bad(script.primitive));
  head.replies.push_back(Good(script.primitive));
  CountingBell bell;
  Bytes reply;

  const std::uint8_t result = Exchange(script.primitive, head, bell, reply);

  const bool answered = script.badAttempts < 4;
  const int transmissions = answered ? script.badAttempts + 1 : 4;
  EXPECT_EQ(result, answered ? 1 : 0);
  EXPECT_EQ(head.writes,
            std::vector<Bytes>(static_cast<std::size_t>(transmissions), Sent(script.primitive)));
  EXPECT_EQ(bell.rings, transmissions - 1);
  if (script.primitive == Primitive::Query) {
    EXPECT_EQ(reply, answered ? Good(script.primitive) : (Bytes{7, 8, 0}))
        << "a short reply leaves its bytes in the buffer";
  }
}

INSTANTIATE_TEST_SUITE_P(Scripted, Retries,
                         testing::Values(Script{"CommandFirstTime", Primitive::Command, 0},
                                         Script{"CommandThirdTime", Primitive::Command, 2},
                                         Script{"CommandNever", Primitive::Command, 4},
                                         Script{"FrameThirdTime", Primitive::Frame, 2},
                                         Script{"FrameFourthTime", Primitive::Frame, 3},
                                         Script{"FrameNever", Primitive::Frame, 4},
                                         Script{"QueryFirstTime", Primitive::Query, 0},
                                         Script{"QueryThirdTime", Primitive::Query, 2},
                                         Script{"QueryAlwaysShort", Primitive::Query, 4}),
                         ScriptName);

class NoPort : public testing::TestWithParam<Primitive> {};

TEST_P(NoPort, FailsAtOnceWithoutRetryOrBell) {
  ScriptedHead head;
  head.open = false;
  head.replies.push_back(Good(GetParam()));
  CountingBell bell;
  Bytes reply;
  EXPECT_EQ(Exchange(GetParam(), head, bell, reply), 0);
  EXPECT_EQ(head.writes.size(), 1u);
  EXPECT_EQ(head.reads, 0);
  EXPECT_EQ(bell.rings, 0);
}

INSTANTIATE_TEST_SUITE_P(AllPrimitives, NoPort,
                         testing::Values(Primitive::Command, Primitive::Frame, Primitive::Query));

TEST(StdioBell, WritesBelToStandardOutput) {
  testing::internal::CaptureStdout();
  StdioBell bell;
  ScriptedHead head;
  head.replies = {{0x15}, {head::kAck}};
  EXPECT_EQ(SendCommand(head, bell, head::kCmdReadStoredData), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\a");
}

}  // namespace
