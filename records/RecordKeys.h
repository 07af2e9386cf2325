#pragma once

// The names in a record of a run, for the writer (RunRecord.cpp) and the reader (RecordedRun.cpp)
// alike, so that the two cannot drift apart. Records already written keep the names they were
// written with: a name changed here leaves every earlier record unread. The README tells what
// each holds.

#include <string_view>

namespace record_key {

// The record's own values and its sections.
inline constexpr std::string_view kTool = "tool";
inline constexpr std::string_view kToolVersion = "tool_version";
inline constexpr std::string_view kPort = "port";
inline constexpr std::string_view kStarted = "started";
inline constexpr std::string_view kEnded = "ended";
inline constexpr std::string_view kHeadData = "head_data";
inline constexpr std::string_view kMeasured = "measured";
inline constexpr std::string_view kWritten = "written";
inline constexpr std::string_view kEnd = "end";

// In "port".
inline constexpr std::string_view kPortName = "name";
inline constexpr std::string_view kDevice = "device";
inline constexpr std::string_view kOpen = "open";
inline constexpr std::string_view kBaudRate = "baud_rate";
inline constexpr std::string_view kByteSize = "byte_size";
inline constexpr std::string_view kParity = "parity";
inline constexpr std::string_view kStopBits = "stop_bits";

// In "head_data"; the four texts of the identification block also in "written", and the check
// word also in "measured".
inline constexpr std::string_view kStoredData = "stored_data";
inline constexpr std::string_view kModelCode = "ModelCode";
inline constexpr std::string_view kAdjustDate = "AdjustDate";
inline constexpr std::string_view kHeadIdField = "HeadIdField";
inline constexpr std::string_view kProgramVersion = "ProgramVersion";
inline constexpr std::string_view kCheckWord = "CheckWord";

// In "measured": lists, sets of channels by their sensor names, and single levels.
inline constexpr std::string_view kMotorSpeed = "MotorSpeed";
inline constexpr std::string_view kGainStepLevel = "GainStepLevel";
inline constexpr std::string_view kPaperGain = "PaperGain";
inline constexpr std::string_view kWhitePaperLevel = "WhitePaperLevel";
inline constexpr std::string_view kDaValue = "DaValue";
inline constexpr std::string_view kBlackLevel = "BlackLevel";
inline constexpr std::string_view kFrontLevelInPaper = "FrontLevelInPaper";
inline constexpr std::string_view kExitLevelInPaper = "ExitLevelInPaper";
inline constexpr std::string_view kNoPaperGain = "NoPaperGain";
inline constexpr std::string_view kNoPaperLevel = "NoPaperLevel";
inline constexpr std::string_view kFrontLevelNoPaper = "FrontLevelNoPaper";
inline constexpr std::string_view kExitLevelNoPaper = "ExitLevelNoPaper";
// In a row of "GainStepLevel", beside the channels' sensor names.
inline constexpr std::string_view kGain = "gain";
inline constexpr std::string_view kS0tGain = "s0t_ir_gain";

// In "end".
inline constexpr std::string_view kHow = "how";
inline constexpr std::string_view kLastStage = "last_stage";
inline constexpr std::string_view kLastItem = "last_item";
inline constexpr std::string_view kResult = "result";
inline constexpr std::string_view kHeadWritten = "head_written";
inline constexpr std::string_view kLog = "log";

}  // namespace record_key

// The value of "tool": a JSON file with another is no record of this tool.
inline constexpr std::string_view kRecordTool = "qzr71adj";

// The values of "how" in "end".
namespace run_end {
inline constexpr std::string_view kCompleted = "completed";
inline constexpr std::string_view kFailed = "failed";
inline constexpr std::string_view kAbandoned = "abandoned";
inline constexpr std::string_view kWindowClosed = "window closed";
}  // namespace run_end
