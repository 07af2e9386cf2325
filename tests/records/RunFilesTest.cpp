// The pieces of a run's record that need no head: history cells, the history file and the
// record file, on every platform.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "records/RunFiles.h"
#include "records/RunRecord.h"
#include "tests/support/Recorders.h"

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
    // Control characters shown as the pages show them; other characters and stray bytes as '?'.
    {"EightBitAndControl", "\xE9t\xC3\xA9\r\n\t", "?t?\\x0D\\x0A\\x09"},
    {"Delete", "A\x7F", "A\\x7F"},
    {"Nul", std::string("D\0R", 3), "D\\x00R"},
    {"NulBeforeFormula", std::string("\0=1", 3), "\\x00=1"},
    {"RightToLeftOverride",
     "\xE2\x80\xAE"
     "1234",
     "\\u202E1234"},
};

INSTANTIATE_TEST_SUITE_P(RunRecord, HistoryCell, testing::ValuesIn(kCells),
                         [](const testing::TestParamInfo<CellCase>& row) {
                           return row.param.name;
                         });

bool AppendLine(const fs::path& file, const std::string& line, std::string& problem) {
  return AppendHistoryLines(
      file, "H\r\n", [&line](const HistoryText&) { return line; }, problem);
}

TEST(HistoryFile, GetsItsHeaderOnceAndEveryLineWhole) {
  TempDir dir;
  const fs::path file = dir.Path() / "runs.csv";
  std::string problem;
  ASSERT_TRUE(AppendLine(file, "one\r\n", problem)) << problem;
  ASSERT_TRUE(AppendLine(file, "two\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file), "H\r\none\r\ntwo\r\n");

  // Saved by a spreadsheet without its last line end: the next line still starts on its own.
  WriteBytes(file, "H\r\none");
  ASSERT_TRUE(AppendLine(file, "two\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file), "H\r\none\r\ntwo\r\n");

  // Emptied by hand: it gets its header again.
  WriteBytes(file, "");
  ASSERT_TRUE(AppendLine(file, "three\r\n", problem)) << problem;
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

struct IdCase {
  const char* name;
  std::string bytes;  // the eight the head holds
  std::string stem;   // of the record's file name, after the start time
  std::string json;   // in the record
  std::string cell;   // in the history
};

class IdentificationField : public testing::TestWithParam<IdCase> {};

// The identification field is whatever the head holds: in the record every byte, read and
// written, in the history one cell that no spreadsheet runs as a formula, in the file name a plain
// name.
TEST_P(IdentificationField, KeepsEveryByteInTheRecordAndStaysInItsPlace) {
  RunFacts facts;
  facts.started = {"2024-05-01T10:11:12+02:00", "20240501-101112"};
  EXPECT_EQ(RecordFileStem(facts), "20240501-101112_unread");
  HeadDataFacts read;
  std::copy_n(GetParam().bytes.begin(), 8, read.HeadIdField.begin());
  facts.headData = read;
  facts.record.HeadIdField = read.HeadIdField;
  facts.steps[ProgressStep::kWriteAdjustments] = {1, true};
  EXPECT_EQ(RecordFileStem(facts), "20240501-101112_" + GetParam().stem);
  const std::string text = RecordText(facts);
  for (const char* block : {"\"head_data\"", "\"written\""}) {
    EXPECT_NE(text.find("\"HeadIdField\": \"" + GetParam().json + "\"", text.find(block)),
              std::string::npos)
        << block << text;
  }
  std::string problem;
  const std::optional<RecordedRun> run = ReadRecordedRun(text, problem);
  ASSERT_TRUE(run) << problem;
  EXPECT_EQ(HistoryLine(*run, "f.json"), "2024-05-01T10:11:12+02:00," + GetParam().cell +
                                             ",failed,1. Motor speed check,,,,f.json\r\n");
}

const IdCase kIds[] = {
    {"Odd", "=A,\"b\xE9;x", "_A__b__x",
     R"(=A,\"b)"
     "\xC3\xA9"
     ";x",
     "\"'=A,\"\"b?;x\""},
    {"NulInside",
     std::string("DR\0"
                 "471A3",
                 8),
     "DR_471A3", R"(DR\u0000471A3)", R"(DR\x00471A3)"},
    {"OnlyNul", std::string(8, '\0'), "blank",
     R"(\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000)", R"(\x00\x00\x00\x00\x00\x00\x00\x00)"},
};

INSTANTIATE_TEST_SUITE_P(RunRecord, IdentificationField, testing::ValuesIn(kIds),
                         [](const testing::TestParamInfo<IdCase>& row) { return row.param.name; });

}  // namespace
