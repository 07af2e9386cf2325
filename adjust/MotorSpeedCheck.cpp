#include "adjust/MotorSpeedCheck.h"

#include <string>

#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"
#include "adjust/WaitSeconds.h"
#include "link/HeadCommands.h"

namespace {

constexpr int kReadings = 3;
constexpr std::uint8_t kSettlingSeconds = 6;
constexpr std::uint8_t kReadingSeconds = 11;

// Once the motor runs, no exit may leave it running.
StepResult StopMotorAfterFailure(StepContext& context) {
  SendHeadFrame(context, head::MotorStopFrame());
  return context.log.LogCommError();
}

void ReportMotor(StepContext& context, int readings, std::optional<double> secondsLeft,
                 std::optional<std::uint32_t> speed, std::uint8_t waitSeconds = 0) {
  context.progress.Report({.step = ProgressStep::kMotorSpeedCheck,
                           .count = static_cast<std::uint32_t>(readings),
                           .limit = kReadings,
                           .secondsLeft = secondsLeft,
                           .waitSeconds = waitSeconds,
                           .value = speed});
}

}  // namespace

StepResult MotorSpeedCheck(StepContext& context) {
  context.log.ClearLog();
  context.log.AddLine(" ***** MOTOR SPEED CHECK *****");
  return MeasureMotorSpeed(context);
}

StepResult MeasureMotorSpeed(StepContext& context) {
  auto& record = context.record;
  ReportMotor(context, 0, std::nullopt, std::nullopt);
  if (SendHeadFrame(context, head::OpeningFrame()) != 1) {
    return context.log.LogCommError();
  }
  if (SendHeadFrame(context, head::MotorStartFrame()) != 1) {
    return context.log.LogCommError();
  }
  WaitSeconds(context.clock, context.pump, kSettlingSeconds, [&context](double left) {
    ReportMotor(context, 0, left, std::nullopt, kSettlingSeconds);
  });

  int errors = 0;
  for (int reading = 0; reading < kReadings; ++reading) {
    if (SendHeadFrame(context, head::MotorSpeedRequestFrame()) != 1) {
      return StopMotorAfterFailure(context);
    }
    WaitSeconds(context.clock, context.pump, kReadingSeconds, [&context, reading](double left) {
      ReportMotor(context, reading, left, std::nullopt, kReadingSeconds);
    });
    if (QueryHead(context, head::kReplyMotorSpeed) != 1) {
      return StopMotorAfterFailure(context);
    }
    record.MotorSpeed = head::LittleEndian16(record.ReplyBuf.data()) / 10u;
    const bool inWindow =
        record.MotorSpeed >= kMotorSpeedLowest && record.MotorSpeed <= kMotorSpeedHighest;
    if (!inWindow) ++errors;
    ReportMotor(context, reading + 1, std::nullopt, record.MotorSpeed);
    context.log.AddLine(std::to_string(record.MotorSpeed) +
                        (inWindow ? " Motor speed ok" : " Motor speed error"));
  }
  SendHeadFrame(context, head::MotorStopFrame());
  SendHeadCommand(context, head::kCmdEndReading);
  return errors == 0 ? kStepSucceeded : kStepFailed;
}
