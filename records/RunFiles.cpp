#include "records/RunFiles.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "link/SettingsFile.h"
#include "records/PageParts.h"
#include "records/RecordedRun.h"
#include "records/RunReport.h"

namespace {

std::optional<std::filesystem::path> FromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path RunsFolder() {
  if (auto folder = FromEnvironment("QZR71_RUNS_DIR")) return *folder;
  // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules say.
  if (auto data = FromEnvironment("XDG_DATA_HOME"); data && data->is_absolute()) {
    return *data / "qzr71" / "runs";
  }
#ifdef _WIN32
  if (auto local = FromEnvironment("LOCALAPPDATA")) return *local / "qzr71" / "runs";
#endif
  if (auto home = FromEnvironment("HOME")) return *home / ".local" / "share" / "qzr71" / "runs";
  return std::filesystem::path("qzr71-runs");
}

LocalStamp StampOf(std::chrono::system_clock::time_point moment) {
  std::tm calendar{};
  if (!LocalCalendar(std::chrono::system_clock::to_time_t(moment), calendar)) return {};
  char iso[40];
  char compact[24];
  std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%S", &calendar);
  std::strftime(compact, sizeof compact, "%Y%m%d-%H%M%S", &calendar);
  // The offset from UTC is the local calendar read as if it were UTC, less the moment itself;
  // computed here because strftime's %z gives a zone name, not an offset, on some platforms.
  using namespace std::chrono;
  const sys_seconds localAsUtc =
      sys_days(year_month_day(year(calendar.tm_year + 1900),
                              month(static_cast<unsigned>(calendar.tm_mon + 1)),
                              day(static_cast<unsigned>(calendar.tm_mday)))) +
      hours(calendar.tm_hour) + minutes(calendar.tm_min) + seconds(calendar.tm_sec);
  const auto offset = duration_cast<minutes>(localAsUtc - floor<seconds>(moment)).count();
  char zone[48];  // room for any long long, though offsets stay within a day
  const long long magnitude = offset < 0 ? -offset : offset;
  // ISO 8601's extended format: +02:00.
  std::snprintf(zone, sizeof zone, "%c%02lld:%02lld", offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return {std::string(iso) + zone, compact};
}

std::string FileProblem(const std::filesystem::path& file, std::error_code error) {
  std::string reason = error.message();
  // Windows' texts end in a full stop and a line end; the box shows one reason a line.
  while (!reason.empty() &&
         (reason.back() == '.' || std::isspace(static_cast<unsigned char>(reason.back())))) {
    reason.pop_back();
  }
  return page::PathText(file) + ": " + reason;
}

namespace {

class PartLeft final : public std::error_category {
 public:
  const char* name() const noexcept override { return "history append"; }
  std::string message(int error) const override {
    return std::system_category().message(error) + " (part of a line may remain at its end)";
  }
};

class LocalRecordDisk final : public RecordDisk {
 public:
  std::error_code WriteWhole(const std::filesystem::path& file, std::string_view bytes) override {
    std::error_code error;
    WriteFileAtomically(file, bytes, error);
    return error;
  }
  std::error_code AppendToHistory(const std::filesystem::path& file,
                                  const HistoryComposer& compose) override {
    return AppendToHistoryFile(file, compose);
  }
};

}  // namespace

const std::error_category& PartLeftCategory() {
  static const PartLeft category;
  return category;
}

RecordDisk& LocalDisk() {
  static LocalRecordDisk disk;
  return disk;
}

std::optional<std::string> WriteNewRecordFile(const std::filesystem::path& folder,
                                              const std::string& stem, std::string_view text,
                                              std::string& problem, RecordDisk& disk) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    problem = FileProblem(folder, error);
    return std::nullopt;
  }
  for (int copy = 1; copy < 1000; ++copy) {
    const std::string name = stem + (copy == 1 ? "" : "-" + std::to_string(copy)) + ".json";
    const std::filesystem::path file = folder / name;
    // A name that is not there is told as an error too.
    const auto status = std::filesystem::symlink_status(file, error);
    if (status.type() != std::filesystem::file_type::not_found) {
      if (!error) continue;
      problem = FileProblem(file, error);
      return std::nullopt;
    }
    if (const std::error_code refused = disk.WriteWhole(file, text)) {
      problem = FileProblem(file, refused);
      return std::nullopt;
    }
    return name;
  }
  problem = page::PathText(folder) + ": no free name for " + stem + ".json";
  return std::nullopt;
}

bool WriteReportFile(const std::filesystem::path& folder, std::string_view recordFile,
                     const std::string& recordText, std::string& problem, RecordDisk& disk) {
  const std::optional<RecordedRun> run = ReadRecordedRun(recordText, problem);
  if (!run) {
    problem = std::string(recordFile) + ": " + problem;
    return false;
  }
  return WriteReportFile(folder, recordFile, *run, problem, disk);
}

bool WriteReportFile(const std::filesystem::path& folder, std::string_view recordFile,
                     const RecordedRun& run, std::string& problem, RecordDisk& disk) {
  const std::filesystem::path file = folder / page::PathOf(ReportFileName(recordFile));
  if (const std::error_code error = disk.WriteWhole(file, ReportPage(run, recordFile))) {
    problem = FileProblem(file, error);
    return false;
  }
  return true;
}

std::string HistoryStart(const HistoryText& history, std::string_view header) {
  if (history.size == 0) return std::string(header);
  // A file saved by hand without its last line end would otherwise swallow the next line.
  const std::optional<std::string> last = history.read(history.size - 1, 1);
  return last && *last != "\n" ? "\r\n" : "";
}

bool AppendHistoryLines(const std::filesystem::path& file, std::string_view header,
                        const HistoryComposer& lines, std::string& problem, RecordDisk& disk) {
  const std::error_code error = disk.AppendToHistory(file, [&](const HistoryText& history) {
    const std::string added = lines(history);
    return added.empty() ? added : HistoryStart(history, header) + added;
  });
  if (error) problem = FileProblem(file, error);
  return !error;
}
