// The pieces of a run's record that need no head: history cells, the history file and the
// record file, on every platform.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "run/RunFiles.h"
#include "run/RunRecord.h"
#include "tests/link/Recorders.h"

namespace {

namespace fs = std::filesystem;

struct CellCase {
  const char* name;
  std::string text;
  std::string cell;
};

class HistoryCell : public testing::TestWithParam<CellCase> {};

TEST_P(HistoryCell, IsPlainAsciiNeverAFormulaAndQuotedWhenItMustBe) {
  EXPECT_EQ(CsvCell(GetParam().text), GetParam().cell);
}

const CellCase kCells[] = {
    {"Plain", "DR0471A3", "DR0471A3"},
    {"Empty", "", ""},
    {"NoStoredDataDashes", "--------", "'--------"},
    {"Formula", "=SUM(A1)", "'=SUM(A1)"},
    {"Plus", "+1", "'+1"},
    {"At", "@cmd", "'@cmd"},
    {"MinusInside", "A-1", "A-1"},
    {"Comma", "A,B", "\"A,B\""},
    {"Semicolon", "A;B", "\"A;B\""},
    {"Quotes", "say \"hi\"", "\"say \"\"hi\"\"\""},
    {"FormulaWithComma", "=A,\"B\"", "\"'=A,\"\"B\"\"\""},
    {"EightBitAndControl", "\xE9t\xE9\r\n\t", "?t????"},
    {"Delete", "A\x7F", "A?"},
};

INSTANTIATE_TEST_SUITE_P(RunRecord, HistoryCell, testing::ValuesIn(kCells),
                         [](const testing::TestParamInfo<CellCase>& row) {
                           return row.param.name;
                         });

TEST(HistoryFile, GetsItsHeaderOnceAndEveryLineWhole) {
  TempDir dir;
  const fs::path file = dir.Path() / "runs.csv";
  std::string problem;
  ASSERT_TRUE(AppendHistoryLine(file, "H\r\n", "one\r\n", problem)) << problem;
  ASSERT_TRUE(AppendHistoryLine(file, "H\r\n", "two\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file), "H\r\none\r\ntwo\r\n");

  // Saved by a spreadsheet without its last line end: the next line still starts on its own.
  WriteBytes(file, "H\r\none");
  ASSERT_TRUE(AppendHistoryLine(file, "H\r\n", "two\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file), "H\r\none\r\ntwo\r\n");

  // Emptied by hand: it gets its header again.
  WriteBytes(file, "");
  ASSERT_TRUE(AppendHistoryLine(file, "H\r\n", "three\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file), "H\r\nthree\r\n");
}

TEST(RecordFile, NeverReplacesAnEarlierRecordAndLeavesNoTemporaryFile) {
  TempDir dir;
  const fs::path folder = dir.Path() / "made" / "runs";  // made on the way
  std::string problem;
  EXPECT_EQ(WriteNewRecordFile(folder, "20240101-120000_ID", "first", problem),
            "20240101-120000_ID.json");
  EXPECT_EQ(WriteNewRecordFile(folder, "20240101-120000_ID", "second", problem),
            "20240101-120000_ID-2.json");
  EXPECT_EQ(ReadBytes(folder / "20240101-120000_ID.json"), "first");
  EXPECT_EQ(ReadBytes(folder / "20240101-120000_ID-2.json"), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// The identification field is whatever the head holds: in the history it stays one cell that no
// spreadsheet runs as a formula, in the file name a plain name, in the record every byte.
TEST(RunRecordText, KeepsAnOddIdentificationFieldInItsPlace) {
  RunFacts facts;
  facts.started = {"2024-05-01T10:11:12+02:00", "20240501-101112"};
  EXPECT_EQ(RecordFileStem(facts), "20240501-101112_unread");
  HeadDataFacts read;
  const std::string id = "=A,\"b\xE9;x";
  std::copy(id.begin(), id.end(), read.HeadIdField.begin());
  facts.headData = read;
  EXPECT_EQ(RecordFileStem(facts), "20240501-101112__A__b__x");
  EXPECT_EQ(HistoryLine(facts, "f.json"),
            "2024-05-01T10:11:12+02:00,\"'=A,\"\"b?;x\",failed,1. Motor speed check,,,,f.json\r\n");
  EXPECT_NE(RecordText(facts).find(R"("HeadIdField": "=A,\"b)"
                                   "\xC3\xA9"
                                   R"(;x")"),
            std::string::npos);
}

}  // namespace
