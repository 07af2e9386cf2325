#include "records/RunReport.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "adjust/AdjustDa.h"
#include "adjust/AdjustGain.h"
#include "adjust/MotorSpeedCheck.h"
#include "adjust/NonPaperAdjust.h"
#include "adjust/SensorTables.h"
#include "records/PageParts.h"
#include "records/PageTemplates.h"
#include "run/LevelsPicture.h"

namespace {

using page::Data;

constexpr int kLevelScale = 255;
// The facts about the run are longer texts than a head's: a device's path, a result in words.
constexpr std::size_t kLongestFact = 120;
constexpr int kMotorScale = 600;  // a third above the window's top

struct Window {
  int lowest;
  int highest;
};

// One channel's row: its value on a scale, against its window where it has one.
struct BarRow {
  std::string name;
  int value = 0;
  std::optional<Window> window;
  std::optional<int> target;
  std::string windowText;  // when the window alone does not say it
};

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

ChannelState StateOf(const BarRow& row) {
  if (row.value < row.window->lowest) return ChannelState::kBelow;
  if (row.value > row.window->highest) return ChannelState::kAbove;
  return ChannelState::kInside;
}

std::string WindowText(const BarRow& row, int scale) {
  if (!row.windowText.empty() || !row.window) return row.windowText;
  const Window& w = *row.window;
  if (w.lowest == 0) return "at most " + std::to_string(w.highest);
  if (w.highest >= scale) return "at least " + std::to_string(w.lowest);
  return std::to_string(w.lowest) + " to " + std::to_string(w.highest);
}

Data RowData(const BarRow& row, int scale) {
  Data data;
  page::SetCut(data, "name", ShownText(row.name));
  data.set("value", std::to_string(row.value));
  data.set("length", std::to_string(std::clamp(row.value, 0, scale)));
  data.set("windowText", WindowText(row, scale));
  data.set("state", row.window ? std::string(ChannelStateWord(StateOf(row))) : std::string());
  if (row.window) {
    const int from = std::clamp(row.window->lowest, 0, scale);
    const int to = std::clamp(row.window->highest + 1, from, scale);
    Data window;
    window.set("from", std::to_string(from));
    window.set("width", std::to_string(to - from));
    data.set("window", window);
  } else {
    data.set("window", false);
  }
  if (row.target) {
    const double width = scale / 150.0;
    Data target;
    target.set("at", Decimal(std::clamp(*row.target, 0, scale) - width / 2));
    target.set("width", Decimal(width));
    data.set("target", target);
  } else {
    data.set("target", false);
  }
  return data;
}

Data Section(const std::string& title, const std::string& about,
             const std::optional<std::vector<BarRow>>& rows, int scale,
             const std::string& nameHeading = "Channel",
             const std::string& valueHeading = "Value") {
  Data section;
  section.set("title", title);
  section.set("about", about.empty() ? Data(false) : Data(about));
  if (!rows) {
    section.set("table", false);
    return section;
  }
  Data table;
  table.set("nameHeading", nameHeading);
  table.set("valueHeading", valueHeading);
  table.set("scale", std::to_string(scale));
  Data list = page::MakeList();
  for (const BarRow& row : *rows) list.push_back(RowData(row, scale));
  table.set("rows", list);
  section.set("table", table);
  return section;
}

// The channel's index in the 24-channel or 16-channel set, by its name.
std::optional<std::size_t> Index24(std::string_view name) {
  for (std::size_t i = 0; i < head::kChannels24; ++i) {
    if (SensorName(i) == name) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> Index16(std::string_view name) {
  for (std::size_t i = 0; i < head::kChannels16; ++i) {
    if (SensorName16(i) == name) return i;
  }
  return std::nullopt;
}

// The record's channels as rows, each given its window by `judge`.
template <typename Judge>
std::optional<std::vector<BarRow>> Rows(const std::optional<ChannelValues>& values, Judge judge) {
  if (!values) return std::nullopt;
  std::vector<BarRow> rows;
  for (const NamedValue& channel : *values) {
    BarRow row;
    row.name = channel.name;
    row.value = channel.value;
    judge(row);
    rows.push_back(std::move(row));
  }
  return rows;
}

Data MotorSection(const RecordedRun& run) {
  std::optional<std::vector<BarRow>> rows;
  int scale = kMotorScale;
  if (!run.motorSpeeds.empty()) {
    rows.emplace();
    for (std::size_t i = 0; i < run.motorSpeeds.size(); ++i) {
      const int speed = run.motorSpeeds[i];
      scale = std::max(scale, (speed / 100 + 1) * 100);
      BarRow row;
      row.name = "reading " + std::to_string(i + 1);
      row.value = speed;
      row.window =
          Window{static_cast<int>(kMotorSpeedLowest), static_cast<int>(kMotorSpeedHighest)};
      rows->push_back(std::move(row));
    }
  }
  return Section("Motor speed", "", rows, scale, "Reading", "Speed");
}

void WhitePaperWindow(BarRow& row) {
  const auto i = Index24(row.name);
  if (!i || *i >= TargetLevel24.size()) return;
  const LevelWindow window = DaWindow(TargetLevel24[*i]);
  row.window = Window{window.lower, window.upper};
  row.target = TargetLevel24[*i];
}

void DaRange(BarRow& row) {
  row.window = Window{kDaLowest, kDaHighest};
}

void PaperGainWindow(BarRow& row) {
  const auto i = Index24(row.name);
  if (!i || *i >= TargetLevel24.size()) row.windowText = "not adjusted";
}

void BlackLimit(BarRow& row) {
  const auto i = Index24(row.name);
  if (!i || *i >= BlackLevelLimit.size()) {
    row.windowText = "not examined";
    return;
  }
  row.window = Window{0, BlackLevelLimit[*i]};
}

void NoPaperGainWindow(BarRow& row) {
  const auto i = Index16(row.name);
  if (i == kS0tIndex16) {
    row.window = Window{0, kS0tGainLimit};
  } else if (!i || *i >= TargetLevel16.size()) {
    row.windowText = "not adjusted";
  }
}

void NoPaperTarget(BarRow& row) {
  const auto i = Index16(row.name);
  if (!i || *i >= TargetLevel16.size()) return;
  row.target = TargetLevel16[*i];
  row.windowText = "target " + std::to_string(TargetLevel16[*i]);
}

Data FrontExitSection(const RecordedRun& run) {
  std::optional<std::vector<BarRow>> rows;
  const auto add = [&](const char* name, std::optional<int> level, std::optional<Window> window) {
    if (!level) return;
    if (!rows) rows.emplace();
    BarRow row;
    row.name = name;
    row.value = *level;
    row.window = window;
    rows->push_back(std::move(row));
  };
  const Window noPaper{0, kFrontExitNoPaperLimit};
  const auto inPaper = [](std::optional<int> without) -> std::optional<Window> {
    if (!without) return std::nullopt;
    return Window{*without + kFrontExitLeastMargin + 1, kLevelScale};
  };
  add("front, no paper", run.frontLevelNoPaper, noPaper);
  add("exit, no paper", run.exitLevelNoPaper, noPaper);
  add("front, in paper", run.frontLevelInPaper, inPaper(run.frontLevelNoPaper));
  add("exit, in paper", run.exitLevelInPaper, inPaper(run.exitLevelNoPaper));
  return Section("Front and exit sensors",
                 "In paper: on the black paper; each must read more than " +
                     std::to_string(kFrontExitLeastMargin) + " above its level without paper.",
                 rows, kLevelScale, "Sensor", "Level");
}

std::string CheckWordText(int word) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(word) & 0xFFFFu);
  return std::to_string(word) + " (" + hex + ")";
}

std::string PortText(const RecordedRun& run) {
  std::string text = ShownText(run.portName);
  if (!run.device.empty()) text += " (" + ShownText(run.device) + ")";
  text += run.baudRate ? ", " + std::to_string(*run.baudRate) + " baud" : ", not open";
  return text;
}

std::string EarlierText(const RecordedRun::HeadData& read) {
  if (!read.storedData) return "no stored adjustment";
  return "adjustment date " + ShownText(read.texts.AdjustDate) + ", program " +
         ShownText(read.texts.ProgramVersion) + ", check word " + CheckWordText(read.CheckWord);
}

Data LogLines(const std::vector<std::string>& log) {
  Data lines = page::MakeList();
  for (const std::string& line : log) {
    // A line may carry line breaks of its own; each part is a line of the page.
    std::size_t from = 0;
    while (from <= line.size()) {
      std::size_t to = line.find('\n', from);
      if (to == std::string::npos) to = line.size();
      std::string_view part(line.data() + from, to - from);
      if (part.ends_with('\r')) part.remove_suffix(1);
      lines.push_back(ShownText(part));
      from = to + 1;
    }
  }
  return lines;
}

}  // namespace

std::string ReportFileName(std::string_view recordFileName) {
  std::string_view stem = recordFileName;
  if (stem.ends_with(".json")) stem.remove_suffix(5);
  return std::string(stem) + ".html";
}

std::string ReportPage(const RecordedRun& run, std::string_view recordFile) {
  Data data;
  page::SetCut(data, "head", ShownText(HeadLabel(run)));
  page::SetCut(data, "modelCode", run.headData ? ShownText(run.headData->texts.ModelCode) : "");
  page::SetCut(data, "date", page::ShownDate(run.started), kLongestFact);
  data.set("ended", page::ShownDate(run.ended));
  page::SetCut(data, "result", ShownText(ResultInWords(run)), kLongestFact);
  data.set("resultClass", page::ResultClass(run));
  page::SetCut(data, "toolVersion", ShownText(run.toolVersion), kLongestFact);
  page::SetCut(data, "port", PortText(run), kLongestFact);
  if (run.headData) {
    page::SetCut(data, "earlier", EarlierText(*run.headData), kLongestFact);
  } else {
    data.set("earlier", false);
  }
  data.set("recordFile", ShownText(recordFile));

  Data sections = page::MakeList();
  sections.push_back(MotorSection(run));
  sections.push_back(Section(
      "White paper levels", "The D/A adjustment's last reading, against the window it settles in.",
      Rows(run.whitePaperLevel, WhitePaperWindow), kLevelScale, "Channel", "Level"));
  sections.push_back(
      Section("D/A values", "", Rows(run.daValue, DaRange), kLevelScale, "Channel", "D/A"));
  sections.push_back(Section("Gains with white paper", "", Rows(run.paperGain, PaperGainWindow),
                             kMostGainPasses, "Channel", "Gain"));
  sections.push_back(Section("Black levels", "On the black paper, against their limits.",
                             Rows(run.blackLevel, BlackLimit), kLevelScale, "Channel", "Level"));
  sections.push_back(Section("Gains without paper", "", Rows(run.noPaperGain, NoPaperGainWindow),
                             kMostGainPasses, "Channel", "Gain"));
  sections.push_back(Section("Levels without paper", "", Rows(run.noPaperLevel, NoPaperTarget),
                             kLevelScale, "Channel", "Level"));
  sections.push_back(FrontExitSection(run));
  data.set("sections", sections);

  data.set("checkWord", run.checkWord ? Data(CheckWordText(*run.checkWord)) : Data(false));
  if (run.written) {
    Data written;
    page::SetCut(written, "ModelCode", ShownText(run.written->ModelCode));
    page::SetCut(written, "AdjustDate", ShownText(run.written->AdjustDate));
    page::SetCut(written, "HeadIdField", ShownText(run.written->HeadIdField));
    page::SetCut(written, "ProgramVersion", ShownText(run.written->ProgramVersion));
    written.set("answer", run.headWritten ? "OK" : "no OK: the head may not hold it");
    data.set("written", written);
  } else {
    data.set("written", false);
  }
  data.set("log", LogLines(run.log));
  return page::Render(kReportTemplate, data);
}
