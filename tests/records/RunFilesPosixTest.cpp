// The pieces of a run's record that depend on POSIX: local time stamps under TZ rules, the runs
// folder from the environment, a full disk and a folder that cannot be made.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "records/RunFiles.h"
#include "records/RunRecord.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;

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

TEST(HistoryFile, AFullDiskOrAMissingFolderIsAReasonNotAHalfLine) {
  TempDir dir;
  std::string problem;
  const auto line = [](const HistoryText&) { return std::string("one\r\n"); };
  const fs::path full = dir.Path() / "runs.csv";
  fs::create_symlink("/dev/full", full);
  EXPECT_FALSE(AppendHistoryLines(full, "H\r\n", line, problem));
  EXPECT_NE(problem.find("No space left on device"), std::string::npos) << problem;

  WriteBytes(dir.Path() / "file", "x");
  problem.clear();
  EXPECT_FALSE(AppendHistoryLines(dir.Path() / "file" / "runs.csv", "H\r\n", line, problem));
  EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
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

}  // namespace
