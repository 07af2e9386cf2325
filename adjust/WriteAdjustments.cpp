#include <algorithm>
#include <cstdio>

#include "adjust/ProgressReports.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"
#include "adjust/WriteBack.h"

namespace {

bool Says(const std::uint8_t* answer, char first, char second) {
  auto upper = [](std::uint8_t byte) {
    return byte >= 'a' && byte <= 'z' ? static_cast<std::uint8_t>(byte - 32) : byte;
  };
  return upper(answer[0]) == static_cast<std::uint8_t>(first) &&
         upper(answer[1]) == static_cast<std::uint8_t>(second);
}

void SetText8(AdjustmentRecord::Text8& field, std::string_view text) {
  field.fill('\0');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), field.begin());
}

}  // namespace

std::array<char, 8> DateStamp(const LocalTime& time) {
  char text[48];  // room for any int, though the fields are two digits each
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d", time.year % 100, time.month, time.day,
                time.hour);
  std::array<char, 8> stamp{};
  std::copy_n(text, 8, stamp.begin());
  return stamp;
}

std::array<std::uint8_t, head::kIdentificationSize> IdentificationBlock(
    const AdjustmentRecord& record) {
  std::array<std::uint8_t, head::kIdentificationSize> block{};
  const auto put = [&block](std::size_t at, const char* text) {
    std::copy_n(text, 8, block.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(0, record.ModelCode.data());
  put(8, record.AdjustDate.data());
  put(16, record.HeadIdField.data());
  put(24, record.ProgramVersion.data());
  return block;
}

StepResult WriteAdjustments(StepContext& context) {
  AdjustmentRecord& record = context.record;
  ReportStep(context, ProgressStep::kWriteAdjustments);
  const std::array<char, 8> stamp = DateStamp(context.clock.Now());
  SetText8(record.AdjustDate, {stamp.data(), stamp.size()});
  SetText8(record.ModelCode, kModelCode);
  SetText8(record.ProgramVersion,
           std::string(kProgramVersionPrefix) + std::string(kProgramVersionNumber));

  if (SendHeadFrame(context, head::IdentificationFrame(IdentificationBlock(record))) != 1 ||
      QueryHead(context, head::kReplyIdentification) != 1) {
    return context.log.LogCommError();
  }
  if (Says(record.ReplyBuf.data(), 'O', 'K')) {
    context.log.AddLine(" ** Write OK **");
    return kStepSucceeded;
  }
  // Only "OK" says the head stored the block; calling any other answer a success would report
  // an unadjusted head as complete.
  context.log.AddLine(" ** Write Fail **");
  return kStepFailed;
}
