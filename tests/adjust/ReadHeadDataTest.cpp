#include "adjust/ReadHeadData.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "tests/adjust/StepFixture.h"

namespace {

using Lines = std::vector<std::string>;

Bytes Block() {
  Bytes block(160);
  std::iota(block.begin(), block.end(), std::uint8_t{1});
  return block;
}

class ReadHeadDataTest : public testing::Test, protected StepFixture {
 protected:
  // A record full of values from an earlier run, so a clearing shows.
  ReadHeadDataTest() {
    record.PaperGain.fill(9);
    record.DaValue.fill(9);
    record.ModelCode = {'O', 'L', 'D', 'M', 'O', 'D', 'E', 'L', '\0'};
    record.CheckWord = 0x1234FFFFu;
    log.AddLine("Earlier line");
  }
};

TEST_F(ReadHeadDataTest, StoredBlockIsDecoded) {
  port.Answer(kAckOnly);
  port.Answer({'O', 'K'});
  port.Answer(Block());
  EXPECT_EQ(ReadHeadData(context), 1);
  EXPECT_EQ(port.written, (std::vector<Bytes>{{0xB1}, kEnqOnly, kEnqOnly}));
  EXPECT_EQ(record.DaValue[0], 33);
  EXPECT_EQ(record.HeadIdField[0], 17);
  EXPECT_EQ(record.ModelCode[8], '\0');
  EXPECT_EQ(record.CheckWord, 0x1234A09Fu);
  EXPECT_EQ(log.Lines(), Lines{"Earlier line"});  // untouched on success
  EXPECT_EQ(bell.rings, 0);
}

TEST_F(ReadHeadDataTest, NoStoredDataClearsTheRecord) {
  for (const Bytes& answer : {Bytes{'N', 'G'}, Bytes{'n', 'g'}, Bytes{'N', 'g'}}) {
    port.written.clear();
    record.PaperGain.fill(9);
    port.Answer(kAckOnly);
    port.Answer(answer);
    EXPECT_EQ(ReadHeadData(context), 1);
    EXPECT_EQ(port.written.size(), 2u);  // no ENQ for the block
    EXPECT_EQ(record.PaperGain, decltype(record.PaperGain){});
    EXPECT_EQ(record.DaValue, decltype(record.DaValue){});
    EXPECT_STREQ(record.ModelCode.data(), "");
    EXPECT_STREQ(record.ProgramVersion.data(), "");
    EXPECT_STREQ(record.HeadIdField.data(), "--------");
    EXPECT_EQ(record.CheckWord, 0x12340000u);
  }
}

TEST_F(ReadHeadDataTest, AnyOtherAnswerReadsTheBlock) {
  port.Answer(kAckOnly);
  port.Answer({'N', 'O'});
  port.Answer(Block());
  EXPECT_EQ(ReadHeadData(context), 1);
  EXPECT_EQ(record.HeadIdField[0], 17);
}

TEST_F(ReadHeadDataTest, BlockFetchedOnTheFourthTry) {
  port.Answer(kAckOnly);
  port.Answer({'O', 'K'});
  port.Answer({}, 12);  // three tries of four silent transmissions each
  port.Answer(Block());
  EXPECT_EQ(ReadHeadData(context), 1);
  EXPECT_EQ(port.written.size(), 2u + 13u);
  // Three bells inside each failed try, one between tries.
  EXPECT_EQ(bell.rings, 3 * 3 + 3);
  EXPECT_EQ(record.DaValue[0], 33);
}

TEST_F(ReadHeadDataTest, CommunicationFailures) {
  struct Case {
    const char* name;
    std::vector<Bytes> answers;
    std::size_t transmissions;
  };
  const Bytes shortBlock(159, 1);
  for (const Case& c : {Case{"silent head", {}, 4}, Case{"no 2-byte answer", {kAckOnly}, 1 + 4},
                        Case{"all four block tries fail",
                             {kAckOnly,
                              {'O', 'K'},
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock,
                              shortBlock},
                             2 + 16}}) {
    StepFixture f;
    for (const Bytes& answer : c.answers) f.port.Answer(answer);
    f.log.AddLine("Earlier line");
    EXPECT_EQ(ReadHeadData(f.context), 0) << c.name;
    EXPECT_EQ(f.log.Lines(), Lines{" Communication error"}) << c.name;
    EXPECT_EQ(f.port.written.size(), c.transmissions) << c.name;
  }
}

}  // namespace
