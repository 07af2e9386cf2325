// The report of a run and the index of a runs folder, made from records as the recorder writes
// them: what each shows against which window, every text escaped, and a folder whose records
// cannot all be read.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "Qzr71Version.h"
#include "adjust/SensorTables.h"
#include "records/PageParts.h"
#include "records/RecordCompletion.h"
#include "records/RecordedRun.h"
#include "records/RunFiles.h"
#include "records/RunRecord.h"
#include "records/RunReport.h"
#include "records/RunsIndex.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;

AdjustmentRecord::Text8 Text8(std::string_view text) {
  AdjustmentRecord::Text8 field{};
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), field.begin());
  return field;
}

void See(RunFacts& facts, ProgressStep step) {
  facts.steps[step] = StepSeen{1, true};
}

// A run that completed, with values at both sides of the windows' edges.
RunFacts CompletedRun(std::string_view headId, const std::string& day, int shift = 0) {
  RunFacts facts;
  facts.port = {"COM1", "/dev/ttyUSB0", true, LineFacts{9600, 8, 2, 0}};
  std::string compact = day;
  compact.erase(std::remove(compact.begin(), compact.end(), '-'), compact.end());
  facts.started = {day + "T10:11:12+02:00", compact + "-101112"};
  facts.ended = {day + "T10:19:40+02:00", compact + "-101940"};
  HeadDataFacts read;
  read.ModelCode = Text8("QZR71000");
  read.AdjustDate = Text8("24030109");
  read.HeadIdField = Text8(headId);
  read.ProgramVersion = Text8("S1 V1.05");
  read.CheckWord = 0x04D2;
  facts.headData = read;
  facts.motorSpeeds = {269, 270, 450, 451};

  AdjustmentRecord& r = facts.record;
  facts.whitePaperLevels.assign(23, 0);
  for (std::size_t i = 0; i < 23; ++i) facts.whitePaperLevels[i] = TargetLevel24[i];
  for (const auto& [channel, level] : std::map<std::size_t, std::uint8_t>{
           {0, 96}, {1, 95}, {2, 107}, {3, 108}, {10, 147}, {11, 146}, {12, 158}, {13, 159}}) {
    facts.whitePaperLevels[channel] = level;
  }
  r.DaValue.fill(100);
  r.DaValue[0] = 80;
  r.DaValue[1] = 79;
  r.DaValue[2] = 120;
  r.DaValue[3] = 121;
  for (std::size_t i = 0; i < 24; ++i) r.PaperGain[i] = static_cast<std::uint8_t>(i + shift);
  r.PaperGain[23] = 0;
  r.BlackLevel.fill(10);
  r.BlackLevel[0] = 15;  // l3t_ir, limit 15
  r.BlackLevel[1] = 16;
  r.BlackLevel[3] = 40;  // l3t_gn, limit 40
  r.BlackLevel[6] = 41;  // l2t_gn, limit 40
  r.BlackLevel[10] = 76;
  r.BlackLevel[11] = 77;
  r.BlackLevel[23] = 255;  // s0t_ir is not examined
  r.NoPaperGain.fill(5);
  r.NoPaperGain[11] = 11;
  r.NoPaperLevel.fill(100);
  r.FrontLevelNoPaper = 101;
  r.ExitLevelNoPaper = 102;
  r.FrontLevelInPaper = 186;  // must exceed 101 + 84
  r.ExitLevelInPaper = 186;   // must exceed 102 + 84
  r.CheckWord = 0x12E4;
  r.ModelCode = Text8("QZR71000");
  r.AdjustDate = Text8("24050110");
  r.HeadIdField = Text8(headId);
  r.ProgramVersion = Text8("S1 V1.06");
  for (const ProgressStep step :
       {ProgressStep::kGainStepCheck, ProgressStep::kGainAdjustment24, ProgressStep::kDaAdjustment,
        ProgressStep::kBlackLevelCheck, ProgressStep::kS0tGainResponse,
        ProgressStep::kGainAdjustment16, ProgressStep::kS0tAutoAdjust,
        ProgressStep::kFrontExitCheck, ProgressStep::kVerifyCheckWord,
        ProgressStep::kWriteAdjustments, ProgressStep::kSendFinishFrame}) {
    See(facts, step);
  }
  facts.ending = {RunEnd::kCompleted, 4, kRunCompleted};
  facts.log = {" ***** Writing *****", " Adjustment complete.\r\n Push Complete button."};
  return facts;
}

// The black levels failed: nothing after them was reached.
RunFacts FailedAtBlack(std::string_view headId, const std::string& day) {
  RunFacts facts = CompletedRun(headId, day);
  facts.steps.clear();
  for (const ProgressStep step : {ProgressStep::kGainStepCheck, ProgressStep::kGainAdjustment24,
                                  ProgressStep::kDaAdjustment, ProgressStep::kBlackLevelCheck}) {
    See(facts, step);
  }
  facts.ending = {RunEnd::kFailed, 2, kAdjustmentFailed};
  facts.log = {" ***** Black level check *****", " Error sensor: c0t_ir", " Black level error",
               "  Push Cancel button."};
  return facts;
}

RecordedRun Reread(const RunFacts& facts) {
  std::string problem;
  const std::optional<RecordedRun> run = ReadRecordedRun(RecordText(facts), problem);
  EXPECT_TRUE(run) << problem;
  return run.value_or(RecordedRun{});
}

struct ShownRow {
  std::string name;
  std::string value;
  std::string state;
};

// The rows of the report's section of that title, in order; none when it was not reached.
std::optional<std::vector<ShownRow>> Section(const std::string& page, const std::string& title) {
  const std::size_t at = page.find("<h2>" + title + "</h2>");
  EXPECT_NE(at, std::string::npos) << title;
  const std::string section = page.substr(at, page.find("</section>", at) - at);
  if (section.find("Not reached in this run.") != std::string::npos) return std::nullopt;
  static const std::regex kRow(
      R"re(<tr><td class="name">([^<]*)</td><td class="number">([^<]*)</td>[\s\S]*?<td class="state-([a-z]*)">)re");
  std::vector<ShownRow> rows;
  for (std::sregex_iterator row(section.begin(), section.end(), kRow), end; row != end; ++row) {
    rows.push_back({(*row)[1], (*row)[2], (*row)[3]});
  }
  return rows;
}

std::vector<std::string> Names(const std::vector<ShownRow>& rows) {
  std::vector<std::string> names;
  for (const ShownRow& row : rows) names.push_back(row.name);
  return names;
}

std::vector<std::string> Names24(std::size_t count) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) names.emplace_back(SensorName(i));
  return names;
}

std::vector<std::string> Names16() {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < 16; ++i) names.emplace_back(SensorName16(i));
  return names;
}

std::string StateIn(const std::vector<ShownRow>& rows, const std::string& name) {
  for (const ShownRow& row : rows) {
    if (row.name == name) return row.value + " " + row.state;
  }
  return "missing";
}

// The writer and the reader take their names from one header; a name either spells otherwise
// leaves its value unread, which this catches for every value the reader takes.
TEST(RecordedRun, ReadsBackEveryValueTheRecordWasWrittenWith) {
  RunFacts facts = CompletedRun("DR0471A3", "2024-05-01");
  const RecordedRun run = Reread(facts);
  EXPECT_EQ(run.toolVersion, kToolVersion);
  EXPECT_EQ(std::tie(run.portName, run.device, run.baudRate),
            std::tuple("COM1", "/dev/ttyUSB0", std::optional<int>(9600)));
  EXPECT_EQ(std::tie(run.started, run.ended), std::tie(facts.started.iso, facts.ended.iso));
  ASSERT_TRUE(run.headData);
  const IdentificationTexts& read = run.headData->texts;
  EXPECT_EQ(std::tie(read.ModelCode, read.AdjustDate, read.HeadIdField, read.ProgramVersion),
            std::tuple("QZR71000", "24030109", "DR0471A3", "S1 V1.05"));
  EXPECT_EQ(run.headData->CheckWord, 0x04D2);
  EXPECT_EQ(run.motorSpeeds, (std::vector<int>{269, 270, 450, 451}));
  for (const auto& [set, channels] : {std::pair{&run.whitePaperLevel, 23u},
                                      {&run.paperGain, 24u},
                                      {&run.daValue, 24u},
                                      {&run.blackLevel, 24u},
                                      {&run.noPaperGain, 16u},
                                      {&run.noPaperLevel, 16u}}) {
    EXPECT_EQ(set->value_or(ChannelValues{}).size(), channels);
  }
  EXPECT_EQ(std::tuple(run.frontLevelInPaper, run.exitLevelInPaper, run.frontLevelNoPaper,
                       run.exitLevelNoPaper, run.checkWord),
            std::tuple(186, 186, 101, 102, 0x12E4));
  ASSERT_TRUE(run.written);
  EXPECT_EQ(std::tie(run.written->ModelCode, run.written->AdjustDate, run.written->HeadIdField,
                     run.written->ProgramVersion),
            std::tuple("QZR71000", "24050110", "DR0471A3", "S1 V1.06"));
  EXPECT_EQ(std::tie(run.how, run.lastStage, run.lastItem, run.result, run.headWritten),
            std::tuple("completed", 4, "Writing to the head", kRunCompleted, true));
  EXPECT_EQ(run.log, facts.log);
  facts.headData->storedData = false;
  EXPECT_FALSE(Reread(facts).headData.value_or(RecordedRun::HeadData{}).storedData);
}

TEST(RunReport, OfACompletedRunShowsEveryChannelOnceAgainstItsWindow) {
  const std::string page = ReportPage(Reread(CompletedRun("DR0471A3", "2024-05-01")), "r.json");
  for (const char* text :
       {"<td class=\"mono\">DR0471A3</td>", "<td class=\"mono\">QZR71000</td>",
        "<td>2024-05-01 10:11:12 +02:00</td>", "<td class=\"result-completed\">completed</td>",
        "<td>1.06</td>", "<td>COM1 (/dev/ttyUSB0), 9600 baud</td>",
        "adjustment date 24030109, program S1 V1.05, check word 1234 (0x04D2)",
        "Sent to the head: <strong>4836 (0x12E4)</strong>", "<td class=\"mono\">24050110</td>",
        "<td class=\"mono\">S1 V1.06</td>", "<td>OK</td>",
        // The log's own line break makes two lines of the page.
        " Adjustment complete.\n Push Complete button.\n</pre>"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }

  const auto motor = Section(page, "Motor speed");
  const auto white = Section(page, "White paper levels");
  const auto da = Section(page, "D/A values");
  const auto gains = Section(page, "Gains with white paper");
  const auto black = Section(page, "Black levels");
  const auto noPaperGains = Section(page, "Gains without paper");
  const auto noPaperLevels = Section(page, "Levels without paper");
  const auto frontExit = Section(page, "Front and exit sensors");
  ASSERT_TRUE(motor && white && da && gains && black && noPaperGains && noPaperLevels && frontExit);
  EXPECT_EQ(Names(*motor),
            (std::vector<std::string>{"reading 1", "reading 2", "reading 3", "reading 4"}));
  EXPECT_EQ(Names(*white), Names24(23));
  EXPECT_EQ(Names(*da), Names24(24));
  EXPECT_EQ(Names(*gains), Names24(24));
  EXPECT_EQ(Names(*black), Names24(24));
  EXPECT_EQ(Names(*noPaperGains), Names16());
  EXPECT_EQ(Names(*noPaperLevels), Names16());
  EXPECT_EQ(Names(*frontExit), (std::vector<std::string>{"front, no paper", "exit, no paper",
                                                         "front, in paper", "exit, in paper"}));

  // Each window's edges from both sides.
  const std::vector<std::pair<std::string, std::string>> motorStates{{"reading 1", "269 low"},
                                                                     {"reading 2", "270 in"},
                                                                     {"reading 3", "450 in"},
                                                                     {"reading 4", "451 high"}};
  for (const auto& [name, state] : motorStates) EXPECT_EQ(StateIn(*motor, name), state) << name;
  EXPECT_NE(page.find("<td class=\"window\">270 to 450</td>"), std::string::npos);
  const std::vector<std::pair<std::string, std::string>> whiteStates{
      {"l3t_ir", "96 in"},    {"c0t_ir", "95 low"},   {"r3t_ir", "107 in"},
      {"l3t_gn", "108 high"}, {"l3d_ir", "147 in"},   {"c0d_ir", "146 low"},
      {"r3d_ir", "158 in"},   {"l3u_gn", "159 high"}, {"b0t_ir", "102 in"}};
  for (const auto& [name, state] : whiteStates) EXPECT_EQ(StateIn(*white, name), state) << name;
  const std::vector<std::pair<std::string, std::string>> daStates{
      {"l3t_ir", "80 in"}, {"c0t_ir", "79 low"}, {"r3t_ir", "120 in"}, {"l3t_gn", "121 high"}};
  for (const auto& [name, state] : daStates) EXPECT_EQ(StateIn(*da, name), state) << name;
  const std::vector<std::pair<std::string, std::string>> blackStates{
      {"l3t_ir", "15 in"}, {"c0t_ir", "16 high"}, {"l3t_gn", "40 in"}, {"l2t_gn", "41 high"},
      {"l3d_ir", "76 in"}, {"c0d_ir", "77 high"}, {"s0t_ir", "255 "}};
  for (const auto& [name, state] : blackStates) EXPECT_EQ(StateIn(*black, name), state) << name;
  EXPECT_EQ(StateIn(*noPaperGains, "s0t_ir"), "11 in");
  EXPECT_EQ(StateIn(*gains, "s0t_ir"), "0 ") << "not adjusted, so not judged";
  const std::vector<std::pair<std::string, std::string>> frontExitStates{
      {"front, no paper", "101 in"},
      {"exit, no paper", "102 high"},
      {"front, in paper", "186 in"},
      {"exit, in paper", "186 low"}};
  for (const auto& [name, state] : frontExitStates) {
    EXPECT_EQ(StateIn(*frontExit, name), state) << name;
  }
}

TEST(RunReport, OfAFailedRunSaysWhereAndShowsOnlyWhatItReached) {
  RunFacts facts = FailedAtBlack("DR0471A3", "2024-05-01");
  facts.record.NoPaperGain[11] = 12;  // left from an earlier run: not this run's value
  const std::string page = ReportPage(Reread(facts), "r.json");
  EXPECT_NE(page.find("<td class=\"result-failed\">failed in 3. Black paper adjustment</td>"),
            std::string::npos);
  const auto black = Section(page, "Black levels");
  ASSERT_TRUE(black);
  EXPECT_EQ(Names(*black), Names24(24));
  EXPECT_EQ(StateIn(*black, "c0t_ir"), "16 high");
  EXPECT_TRUE(Section(page, "White paper levels"));
  for (const char* title :
       {"Gains without paper", "Levels without paper", "Front and exit sensors", "Check word"}) {
    EXPECT_FALSE(Section(page, title)) << title;
  }
  EXPECT_NE(page.find("Nothing: the run ended before the identification block was sent."),
            std::string::npos);
  EXPECT_NE(page.find(" Black level error\n  Push Cancel button.\n</pre>"), std::string::npos);
}

TEST(RunReport, ShowsEveryTextFromTheHeadOrTheFilesAsText) {
  RunFacts facts = CompletedRun("<script>", "2024-05-01");
  facts.headData->ModelCode = Text8("\"&'<>\x80\x9F\xE9");
  facts.headData->AdjustDate =
      Text8(std::string("\0"
                        "4030109",
                        8));
  facts.record.HeadIdField = Text8("\"><img\ta");  // a tab: shown, not laid out
  facts.port.device = "\"><img src=x onerror=alert(1)>";
  facts.log.push_back("</pre><script>alert(1)</script>\x07");
  facts.log.push_back(
      "check word \xE2\x80\xAE"
      "4E21");  // would read 12E4
  const std::string page = ReportPage(Reread(facts), "<b>.json");

  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find("<title>Run of head &lt;script&gt;, "), std::string::npos);
  EXPECT_NE(page.find("<td class=\"mono\">&lt;script&gt;</td>"), std::string::npos);
  // The head's bytes 128 and 159 are control characters: shown by number. 233 is a letter.
  EXPECT_NE(page.find("<td class=\"mono\">&quot;&amp;&apos;&lt;&gt;\\x80\\x9F\xC3\xA9</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"mono\">&quot;&gt;&lt;img\\x09a</td>"), std::string::npos);
  EXPECT_NE(page.find("(&quot;&gt;&lt;img src=x onerror=alert(1)&gt;)"), std::string::npos);
  EXPECT_NE(page.find("&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;\\x07\ncheck word "
                      "\\u202E4E21\n</pre>"),
            std::string::npos);
  EXPECT_NE(page.find("adjustment date \\x004030109, "), std::string::npos);
  EXPECT_NE(page.find("from the record &lt;b&gt;.json."), std::string::npos);
}

// A template that would show a value as it is, unescaped, is refused before it shows one.
TEST(PageTemplates, ThatShowAValueUnescapedAreRefused) {
  for (const std::string_view raw :
       {"<p>{{{head}}}</p>", "<p>{{&head}}</p>", "<p>{{ &head}}</p>"}) {
    EXPECT_THROW(page::Render(raw, page::Data()), std::logic_error) << raw;
  }
  EXPECT_EQ(page::Render("<p>{{head}}</p>", page::Data("head", "<b>")), "<p>&lt;b&gt;</p>");
}

TEST(RunsIndexPage, ShowsNamesAndHeadsAsTextAndLinksThatStayLinks) {
  std::vector<IndexedRecord> records(2);
  records[0].file = "<b>\"x\" #1.json";
  records[0].run = Reread(CompletedRun("<script>", "2024-05-01"));
  records[0].hasReport = true;
  records[1].file = "<i>.json";
  records[1].problem = "<u>not JSON";
  const std::string page = IndexPage("/srv/<runs>", records, "2024-05-02T08:00:00+02:00");
  for (const char* tag : {"<script", "<b>", "<i>", "<u>", "<runs>"}) {
    EXPECT_EQ(page.find(tag), std::string::npos) << tag;
  }
  EXPECT_NE(page.find("<a href=\"%3Cb%3E%22x%22%20%231.html\">&lt;b&gt;&quot;x&quot; #1.json</a>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"mono\">&lt;i&gt;.json</td><td>&lt;u&gt;not JSON</td>"),
            std::string::npos);
  EXPECT_NE(page.find("Head <span class=\"mono\">&lt;script&gt;</span>"), std::string::npos);
  EXPECT_NE(page.find("/srv/&lt;runs&gt;"), std::string::npos);
}

// Hand-edited records whose identification fields run long: each cut in its cell, whole in its
// title, so that no record widens the table and every row keeps its columns.
TEST(RunsIndexPage, CutsTextsLongerThanItsColumnsTake) {
  for (const std::size_t length : {40, 41, 100'000}) {
    const std::string id(length, 'W');
    std::vector<IndexedRecord> records(1);
    records[0].file = "r.json";
    records[0].run = Reread(FailedAtBlack("DR0471A3", "2024-05-01"));
    records[0].run->headData->texts.HeadIdField = id;
    records[0].hasReport = true;
    const std::string page = IndexPage("/srv/runs", records, "2024-05-02T08:00:00+02:00");
    const std::string shown = length > 40 ? std::string(39, 'W') + "\xE2\x80\xA6" : id;
    const std::string title = length > 40 ? " title=\"" + id + "\"" : "";
    EXPECT_NE(page.find("<td class=\"mono\"" + title + "><a href=\"#head-"), std::string::npos);
    EXPECT_NE(page.find("\">" + shown +
                        "</a></td><td class=\"result-failed\">failed</td><td>3. Black paper "
                        "adjustment</td><td><a href=\"r.html\">r.json</a></td></tr>"),
              std::string::npos)
        << length;
    EXPECT_NE(page.find("Head <span class=\"mono\"" + title + ">" + shown + "</span>"),
              std::string::npos);
  }
}

// Where the runs of a page's "Every run" list appear, by their dates.
std::vector<std::string> ListedDates(const std::string& page) {
  const std::size_t from = page.find("<h2>Every run, newest first</h2>");
  const std::string list = page.substr(from, page.find("</section>", from) - from);
  static const std::regex kDate(R"(<tr><td>(\d{4}-\d\d-\d\d) )");
  std::vector<std::string> dates;
  for (std::sregex_iterator d(list.begin(), list.end(), kDate), end; d != end; ++d) {
    dates.push_back((*d)[1]);
  }
  return dates;
}

TEST(RunsIndexFile, ListsTheRecordsThatCannotBeReadAndStillShowsTheRest) {
  TempDir dir;
  const fs::path runs = dir.Path() / "runs";
  std::string problem;
  // Two completed runs of one head, a failed run of another: written as the recorder does,
  // without their reports (as by a version that wrote none).
  const std::vector<RunFacts> written{CompletedRun("DR0471A3", "2024-05-01"),
                                      FailedAtBlack("DR0999ZZ", "2024-05-03"),
                                      CompletedRun("DR0471A3", "2024-05-02", 3)};
  std::vector<std::string> names;
  for (const RunFacts& facts : written) {
    const auto name = WriteNewRecordFile(runs, RecordFileStem(facts), RecordText(facts), problem);
    ASSERT_TRUE(name) << problem;
    names.push_back(*name);
  }
  WriteBytes(runs / "broken.json", "{\"tool\": \"qzr71adj\", \"started\": ");
  WriteBytes(runs / "other.json", "{\"tool\": \"qzr71adj\", \"started\": 5}");
  // Nested far deeper than any stack could follow, within the size of a record.
  WriteBytes(runs / "deep.json", "{\"tool\": \"qzr71adj\", \"x\": " + std::string(1'000'000, '['));
  // A whole record, then a NUL and more: the text does not end where the record does.
  const std::string record = RecordText(CompletedRun("DR0471A3", "2024-04-01"));
  WriteBytes(runs / "cut.json", record + std::string(1, '\0') + "}");
  // A record whose head's field holds a byte that is not UTF-8: still a run, shown as U+FFFD.
  std::string latin1 = RecordText(CompletedRun("DR0555XX", "2024-04-02"));
  latin1.replace(latin1.find("DR0555XX"), 8, "DR05\xE9XX");
  WriteBytes(runs / "latin1.json", latin1);
  fs::create_directory(runs / "folder.json");
  WriteBytes(runs / "notes.txt", "not a record");

  ASSERT_TRUE(WriteRunsIndex(runs, problem)) << problem;
  const std::string page = ReadBytes(runs / "index.html");
  // Listed with its name and the start of the reason.
  const auto unreadable = [&](const std::string& file, const std::string& why) {
    return page.find("<td class=\"mono\">" + file + "</td><td>" + why) != std::string::npos;
  };
  EXPECT_TRUE(unreadable("broken.json", "not JSON</td>"));
  EXPECT_TRUE(unreadable("other.json", "not the record of a run ("));
  EXPECT_TRUE(unreadable("deep.json", "not the record of a run (nested too deep)</td>"));
  EXPECT_TRUE(unreadable("cut.json", "not JSON</td>"));
  EXPECT_NE(page.find("Head <span class=\"mono\">DR05\xEF\xBF\xBDXX</span>"), std::string::npos);
  EXPECT_EQ(page.find("\xE9"), std::string::npos);
  EXPECT_EQ(page.find("folder.json"), std::string::npos);
  EXPECT_EQ(page.find("notes.txt"), std::string::npos);
  EXPECT_NE(page.find("4 runs in"), std::string::npos);
  EXPECT_EQ(ListedDates(page),
            (std::vector<std::string>{"2024-05-03", "2024-05-02", "2024-05-01", "2024-04-02"}));
  for (const std::string& name : names) {
    const std::string report = ReportFileName(name);
    EXPECT_NE(page.find("<a href=\"" + report + "\">" + name + "</a>"), std::string::npos) << name;
    EXPECT_NE(ReadBytes(runs / report).find("<h1>QZR-71 adjustment run</h1>"), std::string::npos)
        << "made for the record that had none";
  }

  // The head of two completed runs: its gains went up by 3 since the one before.
  const std::size_t head = page.find("Head <span class=\"mono\">DR0471A3</span>");
  ASSERT_NE(head, std::string::npos);
  const std::string section = page.substr(head, page.find("</section>", head) - head);
  EXPECT_NE(section.find("Change at its last completed run, 2024-05-02 10:11:12 +02:00, since the "
                         "completed run of 2024-05-01 10:11:12 +02:00"),
            std::string::npos);
  // Gains: every channel one higher but s0t_ir, not adjusted; the other values are the same.
  EXPECT_NE(section.find("<tr><th>Gain, white paper</th>"), std::string::npos);
  EXPECT_NE(section.find("<td>l3t_ir 3 (+3), c0t_ir 4 (+3), "), std::string::npos);
  EXPECT_NE(section.find("b0t_ir 25 (+3)</td>"), std::string::npos);
  EXPECT_NE(section.find("<tr><th>D/A value</th>"), std::string::npos);
  EXPECT_NE(section.find("</svg></td><td>none</td>"), std::string::npos);
  const std::size_t other = page.find("Head <span class=\"mono\">DR0999ZZ</span>");
  ASSERT_NE(other, std::string::npos);
  EXPECT_NE(page.find("No completed run yet.", other), std::string::npos);
}

}  // namespace

namespace {

// The index without the moment it was written.
std::string IndexOf(const fs::path& folder) {
  const std::string page = ReadBytes(folder / "index.html");
  return std::regex_replace(page, std::regex("Rewritten after each run, [^.]*\\."), "");
}

// Lines a full disk kept out of the history come back from the records, once each and oldest
// first, before the line of the run that finds them missing.
TEST(RunsHistory, GetsTheLinesOfRecordsItLacksOnceOldestFirst) {
  TempDir dir;
  const fs::path runs = dir.Path() / "runs";
  const fs::path file = runs / "runs.csv";
  std::string problem;
  std::vector<std::string> lines;
  std::vector<std::string> names;
  for (const RunFacts& facts :
       {CompletedRun("DR0471A3", "2024-05-01"), FailedAtBlack("DR0999ZZ", "2024-05-04"),
        CompletedRun("DR0471A3", "2024-05-02"), FailedAtBlack("DR0471A3", "2024-05-03")}) {
    names.push_back(WriteNewRecordFile(runs, RecordFileStem(facts), RecordText(facts), problem)
                        .value_or(problem));
    lines.push_back(HistoryLine(Reread(facts), names.back()));
  }
  ASSERT_TRUE(AppendRunToHistory(file, {}, names[0], lines[0], problem)) << problem;
  auto records = ReadRecordsOf(runs, problem);
  ASSERT_TRUE(records) << problem;
  // The last record's run finds the second and the third without their lines.
  ASSERT_TRUE(AppendRunToHistory(file, *records, names[3], lines[3], problem)) << problem;
  // Its line is the last, though the second started later: the whole history is looked through.
  ASSERT_TRUE(AppendRunToHistory(file, *records, "", "x\r\n", problem)) << problem;
  EXPECT_EQ(ReadBytes(file),
            std::string(HistoryHeader()) + lines[0] + lines[2] + lines[1] + lines[3] + "x\r\n");
}

TEST(RunsIndexFile, IsMadeFromTheFolderAsItIsEachTime) {
  TempDir dir;
  const fs::path runs = dir.Path() / "runs";
  std::string problem;
  std::vector<std::string> names;
  const auto add = [&](const RunFacts& facts) {
    const auto name = WriteNewRecordFile(runs, RecordFileStem(facts), RecordText(facts), problem);
    ASSERT_TRUE(name) << problem;
    names.push_back(*name);
  };
  add(CompletedRun("DR0471A3", "2024-05-01"));
  add(CompletedRun("DR0471A3", "2024-05-02", 1));
  add(CompletedRun("DR0471A3", "2024-05-03", 4));
  ASSERT_TRUE(WriteRunsIndex(runs, problem)) << problem;
  EXPECT_NE(IndexOf(runs).find("c0t_ir 5 (+3)"), std::string::npos);
  const std::string before = IndexOf(runs);
  ASSERT_TRUE(WriteRunsIndex(runs, problem)) << problem;
  EXPECT_EQ(IndexOf(runs), before) << "the same folder, the same page";

  // With the last completed run's record gone, the change is the second's against the first.
  fs::remove(runs / names[2]);
  ASSERT_TRUE(WriteRunsIndex(runs, problem)) << problem;
  std::string page = IndexOf(runs);
  EXPECT_EQ(page.find(names[2]), std::string::npos);
  EXPECT_NE(page.find("c0t_ir 2 (+1)"), std::string::npos);

  // A record rewritten is read as it is now.
  WriteBytes(runs / names[0], "{}");
  ASSERT_TRUE(WriteRunsIndex(runs, problem)) << problem;
  page = IndexOf(runs);
  EXPECT_NE(page.find("<td class=\"mono\">" + names[0] + "</td><td>not the record of a run ("),
            std::string::npos);
  EXPECT_NE(page.find("One completed run: nothing before it to compare with."), std::string::npos);
}

}  // namespace
