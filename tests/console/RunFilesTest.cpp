// The pieces of a run's record that need no head: history cells, local time stamps, the runs
// folder and the two ways files are written.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "console/RunFiles.h"
#include "console/RunRecord.h"
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

// Sets environment variables (null: unsets them) for a test and puts the old values back.
class Environment {
 public:
  void Set(const char* name, const char* value) {
    if (!saved_.contains(name))
      saved_[name] = getenv(name) ? getenv(name) : std::optional<std::string>();
    value ? setenv(name, value, 1) : unsetenv(name);
    tzset();
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) Set(name.c_str(), value ? value->c_str() : nullptr);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

struct StampCase {
  const char* name;
  const char* zone;  // POSIX rules, so no time zone database is needed
  std::int64_t utcSeconds;
  const char* iso;
  const char* compact;
};

class LocalTimeStamp : public testing::TestWithParam<StampCase> {};

TEST_P(LocalTimeStamp, IsIso8601WithTheOffsetOfThatMoment) {
  Environment environment;
  environment.Set("TZ", GetParam().zone);
  const LocalStamp stamp =
      StampOf(std::chrono::system_clock::time_point(std::chrono::seconds(GetParam().utcSeconds)));
  EXPECT_EQ(stamp.iso, GetParam().iso);
  EXPECT_EQ(stamp.compact, GetParam().compact);
}

// 2024-07-01 10:00:00 and 2024-01-15 23:30:00 UTC.
const StampCase kStamps[] = {
    {"SummerTime", "CET-1CEST,M3.5.0,M10.5.0/3", 1719828000, "2024-07-01T12:00:00+02:00",
     "20240701-120000"},
    {"WinterTimeAcrossMidnight", "CET-1CEST,M3.5.0,M10.5.0/3", 1705361400,
     "2024-01-16T00:30:00+01:00", "20240116-003000"},
    {"WestOfGreenwich", "EST5EDT,M3.2.0,M11.1.0", 1705361400, "2024-01-15T18:30:00-05:00",
     "20240115-183000"},
    {"HalfHourOffset", "IST-5:30", 1705361400, "2024-01-16T05:00:00+05:30", "20240116-050000"},
};

INSTANTIATE_TEST_SUITE_P(RunRecord, LocalTimeStamp, testing::ValuesIn(kStamps),
                         [](const testing::TestParamInfo<StampCase>& row) {
                           return row.param.name;
                         });

TEST(RunsFolderChoice, FollowsTheEnvironment) {
  Environment environment;
  environment.Set("QZR71_RUNS_DIR", "/srv/runs");
  environment.Set("XDG_DATA_HOME", "/data");
  environment.Set("HOME", "/home/tech");
  EXPECT_EQ(RunsFolder(), fs::path("/srv/runs"));
  environment.Set("QZR71_RUNS_DIR", "");
  EXPECT_EQ(RunsFolder(), fs::path("/data/qzr71/runs"));
  environment.Set("XDG_DATA_HOME", "data");  // relative: invalid, ignored
  EXPECT_EQ(RunsFolder(), fs::path("/home/tech/.local/share/qzr71/runs"));
}

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

TEST(HistoryFile, AFullDiskOrAMissingFolderIsAReasonNotAHalfLine) {
  TempDir dir;
  std::string problem;
  const fs::path full = dir.Path() / "runs.csv";
  fs::create_symlink("/dev/full", full);
  EXPECT_FALSE(AppendHistoryLine(full, "H\r\n", "one\r\n", problem));
  EXPECT_NE(problem.find("No space left on device"), std::string::npos) << problem;

  WriteBytes(dir.Path() / "file", "x");
  problem.clear();
  EXPECT_FALSE(AppendHistoryLine(dir.Path() / "file" / "runs.csv", "H\r\n", "one\r\n", problem));
  EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
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

TEST(RecordFile, AFolderThatCannotBeMadeIsAReason) {
  TempDir dir;
  WriteBytes(dir.Path() / "file", "x");
  std::string problem;
  EXPECT_EQ(WriteNewRecordFile(dir.Path() / "file" / "runs", "stem", "text", problem),
            std::nullopt);
  EXPECT_NE(problem.find((dir.Path() / "file" / "runs").string()), std::string::npos) << problem;
  EXPECT_EQ(ReadBytes(dir.Path() / "file"), "x");
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
