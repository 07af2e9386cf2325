// Runs against the simulated head leave one record and one history line each, and every value in
// the record is the one that went over the wire, as the head's trace shows it. A runs folder that
// cannot be written changes nothing in the run; one box says so after it.

#include <gtest/gtest.h>

#include <sched.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <regex>

#include "Qzr71Version.h"
#include "adjust/NonPaperAdjust.h"
#include "adjust/SensorTables.h"
#include "records/RunFiles.h"
#include "records/RunRecorder.h"
#include "records/RunReport.h"
#include "run/PortFacts.h"
#include "sim/StoredData.h"
#include "tests/adjust/HeadsimStage.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// What the trace shows went over the wire, each answer taken with the message it answers.
struct Wire {
  std::optional<Bytes> block;         // the 160 bytes after 0xB1
  std::vector<std::uint32_t> speeds;  // raw speed readings
  std::optional<Bytes> gains24;       // data of the last 0xC1 frame
  std::optional<Bytes> gains16;       // data of the last 0xC2 frame
  std::optional<Bytes> daReply;       // the last 48-byte reply of the head's D/A regulation
  std::optional<Bytes> s0tReply;      // the last reply of its s0t_ir regulation
  std::optional<Bytes> blackReply;    // the last black level reply
  std::optional<Bytes> inPaper;       // front and exit levels after the black levels
  std::optional<Bytes> noPaperBlock;  // the last no-paper block
  std::optional<Bytes> noPaper;       // the first front and exit levels after it
  std::vector<Bytes> gainSteps;       // readings right after a 0xC1 frame
  std::vector<std::pair<std::uint8_t, std::uint8_t>> s0tResponse;  // s0t_ir gain and reading
  std::optional<std::uint16_t> checkWord;                          // of the 0xD5 frame
  std::optional<Bytes> identification;                             // data of the 0xB2 frame
};

Wire ReadWire(const std::vector<TraceLine>& trace) {
  Wire wire;
  Bytes lastFrame;
  std::uint8_t command = 0;  // of the last message that was not an ENQ
  bool framed = false;
  std::uint8_t block = 0;  // the last 0xA0..0xA3 frame: which measurement a 0xA7 belongs to
  bool enq = false;
  for (const TraceLine& line : trace) {
    const Bytes& m = line.bytes;
    if (line.sender == "tool") {
      enq = m == Bytes{head::kEnq};
      if (enq) continue;
      framed = m.size() >= 3 && m[0] == head::kFrameLead;
      command = framed ? m[2] : m[0];
      if (!framed) continue;
      lastFrame = m;
      const Bytes data(m.begin() + 3, m.end());
      if (command == head::kFrameGain24) wire.gains24 = data;
      if (command == head::kFrameGain16) wire.gains16 = data;
      if (command == head::kFrameCheckWord) wire.checkWord = head::LittleEndian16(data.data());
      if (command == head::kFrameIdentification) wire.identification = data;
      if (command >= head::kFrameS0tAdjust && command <= head::kFrameNoPaperBlock) block = command;
      continue;
    }
    if (!enq) continue;  // an acknowledgement
    enq = false;
    const auto is = [&](std::uint8_t c, bool f, std::size_t n) {
      return command == c && framed == f && m.size() == n;
    };
    if (is(head::kCmdReadStoredData, false, 160)) wire.block = m;
    if (is(head::kFrameMotorSpeed, true, 2)) wire.speeds.push_back(head::LittleEndian16(m.data()));
    if (is(head::kFrameDaAdjust, true, 48)) wire.daReply = m;
    if (is(head::kFrameS0tAdjust, true, 2)) wire.s0tReply = m;
    if (is(head::kFrameBlackLevel, true, 24)) wire.blackReply = m;
    if (is(head::kFrameNoPaperBlock, true, 16)) wire.noPaperBlock = m;
    if (is(head::kFrameFrontExit, true, 2)) {
      if (block == head::kFrameBlackLevel && !wire.inPaper) wire.inPaper = m;
      if (block == head::kFrameNoPaperBlock && !wire.noPaper) wire.noPaper = m;
    }
    if (is(head::kCmdTakeReading, false, 40) && lastFrame.size() > 3 + kS0tIndex16) {
      if (lastFrame[2] == head::kFrameGain24) wire.gainSteps.push_back(m);
      const std::uint8_t s0tGain = lastFrame[3 + kS0tIndex16];
      if (lastFrame[2] == head::kFrameGain16 && s0tGain != 0) {
        wire.s0tResponse.emplace_back(s0tGain, m[kS0tInReading]);
      }
    }
  }
  return wire;
}

// Eight bytes as the record writes a text: every one, zero bytes too.
std::string Text(const Bytes& bytes, std::size_t at) {
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + 8));
}

// A text of plain ASCII and zero bytes as the pages and the history show it.
std::string Shown(std::string text) {
  for (std::size_t at; (at = text.find('\0')) != std::string::npos;) text.replace(at, 1, "\\x00");
  return text;
}

// The values of a channel object, in the given channels' order; the object holds no others.
Bytes Channels(const Json& object, std::size_t count, std::string_view (*name)(std::size_t),
               std::size_t first = 0) {
  EXPECT_EQ(object.size(), count);
  Bytes values;
  for (std::size_t i = first; i < first + count; ++i) {
    values.push_back(object.at(std::string(name(i))).get<std::uint8_t>());
  }
  return values;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

void ExpectMeasuredAsOnTheWire(const Json& measured, const Wire& wire) {
  if (measured.contains("MotorSpeed")) {
    std::vector<std::uint32_t> speeds;
    for (const std::uint32_t raw : wire.speeds) speeds.push_back(raw / 10);
    EXPECT_EQ(measured["MotorSpeed"].get<std::vector<std::uint32_t>>(), speeds);
  }
  if (measured.contains("GainStepLevel")) {
    const Json& rows = measured["GainStepLevel"];
    ASSERT_EQ(rows.size(), std::max(wire.gainSteps.size(), wire.s0tResponse.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
      SCOPED_TRACE("GainStepLevel row " + std::to_string(r));
      if (r < wire.gainSteps.size()) {
        EXPECT_EQ(rows[r]["gain"], 1u << r);
        Bytes levels = Slice(wire.gainSteps[r], 0, 10);
        levels.push_back(wire.gainSteps[r][22]);
        Bytes recorded;
        for (std::size_t i = 0; i < 10; ++i)
          recorded.push_back(rows[r][std::string(SensorName(i))]);
        recorded.push_back(rows[r]["b0t_ir"]);
        EXPECT_EQ(recorded, levels);
      }
      if (r < wire.s0tResponse.size()) {
        EXPECT_EQ(rows[r]["s0t_ir_gain"], wire.s0tResponse[r].first);
        EXPECT_EQ(rows[r]["s0t_ir"], wire.s0tResponse[r].second);
      }
    }
  }
  if (measured.contains("PaperGain")) {
    ASSERT_TRUE(wire.gains24);
    EXPECT_EQ(Channels(measured["PaperGain"], 24, SensorName), *wire.gains24);
  }
  if (measured.contains("WhitePaperLevel")) {
    ASSERT_TRUE(wire.daReply);
    EXPECT_EQ(Channels(measured["WhitePaperLevel"], 23, SensorName), Slice(*wire.daReply, 0, 23));
  }
  if (measured.contains("DaValue")) {
    ASSERT_TRUE(wire.daReply);
    const Json& da = measured["DaValue"];
    Json regulated = da;
    regulated.erase("s0t_ir");
    EXPECT_EQ(Channels(regulated, 23, SensorName), Slice(*wire.daReply, 24, 23));
    ASSERT_EQ(da.contains("s0t_ir"), wire.s0tReply.has_value());
    if (wire.s0tReply) {
      EXPECT_EQ(da["s0t_ir"], (*wire.s0tReply)[1]);
    }
  }
  if (measured.contains("BlackLevel")) {
    ASSERT_TRUE(wire.blackReply);
    EXPECT_EQ(Channels(measured["BlackLevel"], 24, SensorName), *wire.blackReply);
  }
  if (measured.contains("FrontLevelInPaper")) {
    ASSERT_TRUE(wire.inPaper);
    EXPECT_EQ(measured["FrontLevelInPaper"], (*wire.inPaper)[0]);
    EXPECT_EQ(measured["ExitLevelInPaper"], (*wire.inPaper)[1]);
  }
  if (measured.contains("NoPaperGain")) {
    ASSERT_TRUE(wire.gains16);
    EXPECT_EQ(Channels(measured["NoPaperGain"], 16, SensorName16), *wire.gains16);
  }
  if (measured.contains("NoPaperLevel")) {
    ASSERT_TRUE(wire.noPaperBlock && wire.noPaper);
    EXPECT_EQ(Channels(measured["NoPaperLevel"], 16, SensorName16), *wire.noPaperBlock);
    EXPECT_EQ(measured["FrontLevelNoPaper"], (*wire.noPaper)[0]);
    EXPECT_EQ(measured["ExitLevelNoPaper"], (*wire.noPaper)[1]);
  }
  if (measured.contains("CheckWord")) {
    ASSERT_TRUE(wire.checkWord);
    EXPECT_EQ(measured["CheckWord"], *wire.checkWord);
  }
}

// The history as Python's csv module reads it.
std::optional<Json> ReadHistory(const fs::path& file) {
  const std::string command =
      "python3 " + std::string(QZR71_READ_HISTORY) + " '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pclose(pipe) != 0) return std::nullopt;
  return Json::parse(out);
}

const std::vector<std::string> kHeader{"Start time", "Identification field", "Result",
                                       "Last stage", "Motor speed",          "s0t_ir gain",
                                       "Check word", "Record file"};

const std::regex kIsoLocal(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");

enum class Then { kNothing, kCancel, kCloseWindow };
enum class HeadRead { kBlock, kNoData, kNothing };

struct RecordRow {
  const char* name;
  const char* scenarioFile;
  const char* scenarioText;
  std::vector<std::string> options;
  std::size_t stage;  // Next until this stage has run or the run ended
  Then then;
  const char* how;
  int lastStage;
  int result;
  bool headWritten;
  HeadRead read;
  std::vector<std::string> measured;  // the keys the record holds
  std::string stored = {};            // the head's four texts, when not its factory's
  const char* fileId = nullptr;       // the record file's name after the start time
};

// A run with its recorder writing into the test's folder.
class RecordedRun : public HeadsimStage {
 protected:
  void Record(const RecordRow& row) {
    std::vector<std::string> options = row.options;
    if (!row.stored.empty()) {
      sim::HeadDataBlock block = sim::FactoryBlock(sim::MakeUnit(1));
      std::copy(row.stored.begin(), row.stored.end(), block.begin());
      std::string error;
      ASSERT_TRUE(sim::SaveStateFile(dir_.Path() / "head.state", block, error)) << error;
      options.insert(options.end(), {"--state", (dir_.Path() / "head.state").string()});
    }
    StartWith(row.scenarioFile, row.scenarioText, options);
    runs_ = dir_.Path() / "runs";
    recorder_.emplace(
        Model(), runs_, [this] { return DescribePort(*driver_); }, recordBoxes_);
    RunThrough(row.stage);
    if (row.then == Then::kCancel) Model().Controller.BtnCancelClick();
    if (row.then == Then::kCloseWindow) Model().Controller.WindowClosing();
  }
  void TearDown() override {
    recorder_.reset();
    KeepRuns();
    HeadsimStage::TearDown();
  }

  // With QZR71_KEEP_RUNS set, the records and reports go on into that folder, for a look at
  // pages of real runs (scripts/screenshot-pages.sh).
  void KeepRuns() const {
    const char* keep = std::getenv("QZR71_KEEP_RUNS");
    std::error_code error;
    if (keep == nullptr || runs_.empty() || !fs::is_directory(runs_, error)) return;
    fs::create_directories(keep, error);
    for (const auto& entry : fs::directory_iterator(runs_, error)) {
      if (entry.path().extension() != ".json") continue;
      // The fake clock starts every run at the same moment: later runs take the next free name.
      const std::string stem = entry.path().stem().string();
      std::string kept = stem;
      for (int n = 2; fs::exists(fs::path(keep) / (kept + ".json")); ++n) {
        kept = stem + "-" + std::to_string(n);
      }
      fs::copy_file(entry.path(), fs::path(keep) / (kept + ".json"), error);
      fs::copy_file(runs_ / (stem + ".html"), fs::path(keep) / (kept + ".html"), error);
    }
  }

  std::vector<fs::path> RecordFiles() const {
    std::vector<fs::path> records;
    for (const auto& entry : fs::directory_iterator(runs_)) {
      if (entry.path().extension() == ".json") records.push_back(entry.path());
    }
    return records;
  }

  fs::path runs_;
  RecordingBoxes recordBoxes_;
  std::optional<RunRecorder> recorder_;
};

void PrintTo(const RecordRow& row, std::ostream* out) {
  *out << row.name;
}

class RunRecords : public RecordedRun, public testing::WithParamInterface<RecordRow> {};

TEST_P(RunRecords, HoldWhatWentOverTheWireAndOneHistoryLine) {
  const RecordRow& row = GetParam();
  Record(row);
  EXPECT_TRUE(recordBoxes_.shown.empty());
  const Lines logAtEnd = Model().Log.Lines();
  // The simulated head's line, as COM1 reaches it.
  const std::string device = std::getenv("QZR71_COM1");
  const Wire wire = ReadWire(StopAndReadTrace());

  const std::vector<fs::path> records = RecordFiles();
  ASSERT_EQ(records.size(), 1u);
  std::ifstream in(records[0]);
  const Json record = Json::parse(in);

  EXPECT_EQ(record["tool_version"], kToolVersion);
  const Json& port = record["port"];
  EXPECT_EQ(port["name"], "COM1");
  EXPECT_EQ(port["device"], device);
  EXPECT_EQ(port["open"], true);
  EXPECT_EQ(port["baud_rate"], 9600);
  EXPECT_EQ(port["byte_size"], 8);
  EXPECT_EQ(port["parity"], "even");
  EXPECT_EQ(port["stop_bits"].dump(), "1");
  const std::string started = record["started"];
  EXPECT_TRUE(std::regex_match(started, kIsoLocal)) << started;
  EXPECT_TRUE(std::regex_match(record["ended"].get<std::string>(), kIsoLocal));
  EXPECT_LE(started, record["ended"].get<std::string>());

  // What stage 0 read.
  const Json& read = record["head_data"];
  std::string headId;
  switch (row.read) {
    case HeadRead::kBlock:
      ASSERT_TRUE(wire.block);
      EXPECT_EQ(read["stored_data"], true);
      EXPECT_EQ(read["ModelCode"], Text(*wire.block, 0));
      EXPECT_EQ(read["AdjustDate"], Text(*wire.block, 8));
      EXPECT_EQ(read["HeadIdField"], Text(*wire.block, 16));
      EXPECT_EQ(read["ProgramVersion"], Text(*wire.block, 24));
      EXPECT_EQ(read["CheckWord"], head::LittleEndian16(wire.block->data() + 158));
      headId = Text(*wire.block, 16);
      break;
    case HeadRead::kNoData:
      EXPECT_FALSE(wire.block);
      EXPECT_EQ(read["stored_data"], false);
      EXPECT_EQ(read["HeadIdField"], "--------");
      EXPECT_EQ(read["ModelCode"], "");
      headId = "--------";
      break;
    case HeadRead::kNothing:
      EXPECT_TRUE(read.is_null());
      break;
  }

  const Json& measured = record["measured"];
  std::vector<std::string> keys;
  for (const auto& [key, value] : measured.items()) keys.push_back(key);
  std::vector<std::string> expectedKeys = row.measured;
  std::sort(keys.begin(), keys.end());
  std::sort(expectedKeys.begin(), expectedKeys.end());
  EXPECT_EQ(keys, expectedKeys);
  ExpectMeasuredAsOnTheWire(measured, wire);

  // What was written to the head, when the identification block went out.
  ASSERT_EQ(record.contains("written"), wire.identification.has_value());
  if (wire.identification) {
    const Json& written = record["written"];
    EXPECT_EQ(written["ModelCode"], Text(*wire.identification, 0));
    EXPECT_EQ(written["AdjustDate"], Text(*wire.identification, 8));
    EXPECT_EQ(written["HeadIdField"], Text(*wire.identification, 16));
    EXPECT_EQ(written["ProgramVersion"], Text(*wire.identification, 24));
  }

  const Json& end = record["end"];
  EXPECT_EQ(end["how"], row.how);
  EXPECT_EQ(end["last_stage"], row.lastStage);
  EXPECT_EQ(end["last_item"], StageName(static_cast<std::uint8_t>(row.lastStage)));
  EXPECT_EQ(end["result"], row.result);
  EXPECT_EQ(end["head_written"], row.headWritten);
  EXPECT_EQ(end["log"].get<Lines>(), logAtEnd);

  const std::optional<Json> history = ReadHistory(runs_ / "runs.csv");
  ASSERT_TRUE(history);
  ASSERT_EQ(history->size(), 2u) << history->dump();
  EXPECT_EQ((*history)[0].get<std::vector<std::string>>(), kHeader);
  const std::string speed = wire.speeds.empty() ? "" : std::to_string(wire.speeds.back() / 10);
  const std::string s0tGain =
      measured.contains("NoPaperGain") ? std::to_string((*wire.gains16)[kS0tIndex16]) : "";
  const std::string checkWord = wire.checkWord ? std::to_string(*wire.checkWord) : "";
  EXPECT_EQ((*history)[1].get<std::vector<std::string>>(),
            (std::vector<std::string>{
                started, headId.starts_with("-") ? "'" + headId : Shown(headId), row.how,
                std::string(StageName(static_cast<std::uint8_t>(row.lastStage))), speed, s0tGain,
                checkWord, records[0].filename().string()}));
  // Its report beside it, saying how the run ended, and the folder's index linking to it.
  const std::string name = records[0].filename().string();
  const std::string report = ReadBytes(runs_ / ReportFileName(name));
  const std::string item(StageName(static_cast<std::uint8_t>(row.lastStage)));
  const std::string words = std::string(row.how) == "completed" ? "completed"
                            : std::string(row.how) == "failed"  ? "failed in " + item
                                                                : row.how + (" after " + item);
  EXPECT_NE(report.find("\">" + words + "</td>"), std::string::npos) << words;
  if (!headId.empty()) {
    EXPECT_NE(report.find("<td class=\"mono\">" + Shown(headId) + "</td>"), std::string::npos);
  }
  EXPECT_NE(ReadBytes(runs_ / "index.html").find("<a href=\"" + ReportFileName(name) + "\">"),
            std::string::npos);

  // Named by start time and identification field.
  const std::string stamp = std::regex_replace(started.substr(0, 19), std::regex("[-:]"), "");
  EXPECT_EQ(records[0].filename().string().substr(0, 16),
            stamp.substr(0, 8) + "-" + stamp.substr(9, 6) + "_");
  if (row.fileId) {
    EXPECT_EQ(records[0].filename().string().substr(16), row.fileId);
  }
}

const std::vector<std::string> kAll{
    "MotorSpeed",        "GainStepLevel",     "PaperGain",        "WhitePaperLevel", "DaValue",
    "BlackLevel",        "FrontLevelInPaper", "ExitLevelInPaper", "NoPaperGain",     "NoPaperLevel",
    "FrontLevelNoPaper", "ExitLevelNoPaper",  "CheckWord"};
const std::vector<std::string> kThroughBlack{"MotorSpeed",      "GainStepLevel", "PaperGain",
                                             "WhitePaperLevel", "DaValue",       "BlackLevel"};

const RecordRow kRows[] = {
    {"Completed", "", "", {}, 4, Then::kNothing, "completed", 4, 162, true, HeadRead::kBlock, kAll},
    {"NoStoredDataAbandoned",
     "",
     "",
     {"--fresh"},
     0,
     Then::kCancel,
     "abandoned",
     0,
     1,
     false,
     HeadRead::kNoData,
     {"MotorSpeed"}},
    {"MotorSpeedOutOfWindow",
     "motor-speed-out-of-window.scn",
     "",
     {},
     0,
     Then::kNothing,
     "failed",
     0,
     0,
     false,
     HeadRead::kBlock,
     {"MotorSpeed"}},
    {"NoHead",
     "no-answer.scn",
     "",
     {},
     0,
     Then::kNothing,
     "failed",
     0,
     0,
     false,
     HeadRead::kNothing,
     {}},
    {"WhitePaperLeftInForBlack",
     "technician-keeps-white-paper.scn",
     "",
     {},
     2,
     Then::kNothing,
     "failed",
     2,
     163,
     false,
     HeadRead::kBlock,
     kThroughBlack},
    {"WindowClosedAfterBlackPaper",
     "",
     "",
     {},
     2,
     Then::kCloseWindow,
     "window closed",
     2,
     1,
     false,
     HeadRead::kBlock,
     {"MotorSpeed", "GainStepLevel", "PaperGain", "WhitePaperLevel", "DaValue", "BlackLevel",
      "FrontLevelInPaper", "ExitLevelInPaper"}},
    {"AbandonedAtTheQuestion",
     "",
     "",
     {},
     3,
     Then::kCancel,
     "abandoned",
     3,
     1,
     false,
     HeadRead::kBlock,
     kAll},
    {"HeadRefusesTheBlock",
     "id-answer-ng.scn",
     "",
     {},
     4,
     Then::kNothing,
     "failed",
     4,
     0,
     false,
     HeadRead::kBlock,
     kAll},
    // Zero bytes in each of the head's texts, where its fields were padded or never written: kept
    // in the record, read and written back, and shown by number.
    {"ZeroBytesInEveryText",
     "",
     "",
     {},
     4,
     Then::kNothing,
     "completed",
     4,
     162,
     true,
     HeadRead::kBlock,
     kAll,
     std::string("QZR71\0\0\0"
                 "\0"
                 "4030109"
                 "DR\0"
                 "471A3"
                 "S1\0V1.04",
                 32),
     "DR_471A3.json"},
    // The head stored the run, though the finishing frame then went unanswered.
    {"FinishFrameUnanswered",
     "",
     "silent frame:D1",
     {},
     4,
     Then::kNothing,
     "failed",
     4,
     0,
     true,
     HeadRead::kBlock,
     kAll},
};

INSTANTIATE_TEST_SUITE_P(RunRecord, RunRecords, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<RecordRow>& row) {
                           return row.param.name;
                         });

// The runs folder on a disk of its own, full, then freed, then read-only. Where the test may mount,
// a tmpfs in a mount namespace of this thread alone (undone at the end); elsewhere the same
// failures injected through the recorder's disk, but for a folder made read-only by its
// permissions where the test is not root. QZR71_TEST_NO_MOUNT=1 takes the second way anyway.
class RunsDisk final : public RecordDisk {
 public:
  explicit RunsDisk(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder);
    mounted_ = std::getenv("QZR71_TEST_NO_MOUNT") == nullptr && unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8k") == 0;
    if (!mounted_) refusal_ = std::make_error_code(std::errc::no_space_on_device);
    std::cout << "runs folder: " << (mounted_ ? "a tmpfs of 8 KiB" : "full by injection") << "\n";
  }
  ~RunsDisk() override {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
    chmod(folder_.c_str(), 0755);
  }
  void Free() {
    refusal_.clear();
    if (mounted_) {
      EXPECT_EQ(mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
    }
  }
  // The reason each file is refused for from now on.
  std::string MakeReadOnly() {
    if (mounted_) {
      EXPECT_EQ(mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
      std::cout << "runs folder: the tmpfs remounted read-only\n";
    } else if (geteuid() != 0) {
      chmod((folder_ / "runs.csv").c_str(), 0444);
      chmod(folder_.c_str(), 0555);
      std::cout << "runs folder: read-only by its permissions\n";
      return "Permission denied";
    } else {
      refusal_ = std::make_error_code(std::errc::read_only_file_system);
      records_ = 0;
      std::cout << "runs folder: read-only by injection\n";
    }
    return "Read-only file system";
  }

  std::error_code WriteWhole(const fs::path& file, std::string_view bytes) override {
    if (refusal_ && records_-- <= 0) return refusal_;
    return LocalDisk().WriteWhole(file, bytes);
  }
  std::error_code AppendToHistory(const fs::path& file, const HistoryComposer& compose) override {
    if (refusal_) return refusal_;
    return LocalDisk().AppendToHistory(file, compose);
  }

 private:
  fs::path folder_;
  bool mounted_ = false;
  std::error_code refusal_;
  int records_ = 1;  // 8 KiB take a run's record, not one more file
};

TEST_F(RecordedRun, EachFileNotWrittenIsToldWithItsReasonAndWhatAFullDiskMissedIsMadeLater) {
  StartWith("", "", {});
  runs_ = dir_.Path() / "runs";
  RunsDisk disk(runs_);
  recorder_.emplace(
      Model(), runs_, [this] { return DescribePort(*driver_); }, recordBoxes_, disk);
  const auto run = [this] {
    recordBoxes_.shown.clear();
    RunThrough(4);
    EXPECT_EQ(Model().Controller.AdjResult, kRunCompleted);
    Model().Controller.BtnCancelClick();  // Complete: back to Start
  };
  const auto path = [this](const std::string& name) { return (runs_ / name).string(); };
  const std::string kFull = ": No space left on device\n";
  const std::string kUnaffected = "The run and the head are not affected.";

  run();
  ASSERT_EQ(RecordFiles().size(), 1u);
  const std::string first = RecordFiles()[0].filename().string();
  ASSERT_EQ(recordBoxes_.shown.size(), 1u);
  EXPECT_EQ(recordBoxes_.shown[0].caption, "WRITE FILE");
  EXPECT_EQ(recordBoxes_.shown[0].text,
            "The record of this run was written, but not all that goes with it.\nWritten:\n" +
                path(first) + "\nNot written:\n" + path("runs.csv") + kFull +
                path(ReportFileName(first)) + kFull + path("index.html") + kFull +
                "What is missing is made from the record at the end of a later run.\n" +
                kUnaffected);

  // With room again, the next run makes the first one's line, before its own, and its page.
  disk.Free();
  run();
  EXPECT_TRUE(recordBoxes_.shown.empty());
  ASSERT_EQ(RecordFiles().size(), 2u);
  const std::optional<Json> history = ReadHistory(runs_ / "runs.csv");
  ASSERT_TRUE(history && history->size() == 3u) << (history ? history->dump() : "unread");
  EXPECT_EQ((*history)[1].back(), first);
  EXPECT_NE((*history)[2].back(), first);
  EXPECT_TRUE(fs::exists(runs_ / (*history)[2].back().get<std::string>()));
  const std::string index = ReadBytes(runs_ / "index.html");
  EXPECT_EQ(index.find("(no report)"), std::string::npos);
  EXPECT_NE(index.find("<a href=\"" + ReportFileName(first) + "\">"), std::string::npos);

  // Read-only: each file with its own reason, and nothing else tried.
  const std::string reason = disk.MakeReadOnly();
  run();
  ASSERT_EQ(recordBoxes_.shown.size(), 1u);
  const std::string& text = recordBoxes_.shown[0].text;
  EXPECT_TRUE(
      text.starts_with("The record of this run could not be written.\nNot written:\n" + path("2")))
      << text;
  EXPECT_TRUE(text.ends_with(".json: " + reason + "\n" + path("runs.csv") + ": " + reason + "\n" +
                             kUnaffected))
      << text;
  EXPECT_EQ(RecordFiles().size(), 2u);
  recorder_.reset();
}

// A box that notes what the run had done when it came up.
class BoxAfterTheRun final : public MessageBoxes {
 public:
  explicit BoxAfterTheRun(std::function<void()> look) : look_(std::move(look)) {}
  void ShowExclamation(const std::string& text, const std::string& caption) override {
    shown.push_back({text, caption});
    look_();
  }
  std::vector<ShownBox> shown;

 private:
  std::function<void()> look_;
};

TEST_F(RecordedRun, AnUnwritableFolderChangesNothingInTheRunAndIsToldOnceAfterIt) {
  struct Seen {
    std::vector<Lines> history;
    std::vector<Bytes> sent;
  };
  std::vector<Seen> runs;
  Lines logAtBox;
  std::vector<Bytes> sentAtBox;
  for (const bool unwritable : {false, true}) {
    StartWith("", "", {});
    BoxAfterTheRun boxes([&] {
      logAtBox = Model().Log.Lines();
      sentAtBox = Sent(ReadTrace(tracePath_), "tool");
    });
    std::optional<RunRecorder> recorder;
    if (unwritable) {
      WriteBytes(dir_.Path() / "file", "not a folder");
      recorder.emplace(
          Model(), dir_.Path() / "file" / "runs", [this] { return DescribePort(*driver_); }, boxes);
    }
    RunThrough(4);
    ASSERT_EQ(Model().Controller.AdjResult, kRunCompleted);
    if (unwritable) {
      ASSERT_EQ(boxes.shown.size(), 1u);
      EXPECT_EQ(boxes.shown[0].caption, "WRITE FILE");
      EXPECT_NE(boxes.shown[0].text.find((dir_.Path() / "file" / "runs").string()),
                std::string::npos)
          << boxes.shown[0].text;
      EXPECT_EQ(ReadBytes(dir_.Path() / "file"), "not a folder");
    }
    recorder.reset();
    runs.push_back({history_, Sent(StopAndReadTrace(), "tool")});
    TearDown();
    sim_.reset();
    history_.clear();
  }
  EXPECT_EQ(runs[1].history, runs[0].history) << "the same log, line by line";
  EXPECT_EQ(runs[1].sent, runs[0].sent) << "the same messages to the head";
  // The box came once the run was over: its last lines shown, its last frame sent.
  EXPECT_EQ(logAtBox, runs[1].history.back());
  EXPECT_EQ(sentAtBox, runs[1].sent);
}

}  // namespace
