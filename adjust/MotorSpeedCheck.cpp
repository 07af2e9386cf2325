#include "adjust/MotorSpeedCheck.h"

#include <string>

#include "adjust/ProgressReports.h"
#include "adjust/WaitSeconds.h"
#include "link/HeadCommands.h"
#include "link/Primitives.h"

namespace {

constexpr int kReadings = 3;
constexpr std::uint8_t kSettlingSeconds = 6;
constexpr std::uint8_t kReadingSeconds = 11;

// Once the motor runs, no exit may leave it running.
StepResult StopMotorAfterFailure(StepContext& context) {
  SendFrame(context.port, context.bell, head::MotorStopFrame());
  return context.log.LogCommError();
}

void ReportMotor(StepContext& context, int readings, std::optional<double> secondsLeft,
                 std::optional<std::uint32_t> speed, std::uint8_t waitSeconds = 0) {
  ProgressReport report;
  report.step = ProgressStep::kMotorSpeedCheck;
  report.count = static_cast<std::uint32_t>(readings);
  report.limit = kReadings;
  report.secondsLeft = secondsLeft;
  report.waitSeconds = waitSeconds;
  report.value = speed;
  context.progress.Report(report);
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
  if (SendFrame(context.port, context.bell, head::OpeningFrame()) != 1) {
    return context.log.LogCommError();
  }
  if (SendFrame(context.port, context.bell, head::MotorStartFrame()) != 1) {
    return context.log.LogCommError();
  }
  WaitSeconds(context.clock, context.pump, kSettlingSeconds, [&context](double left) {
    ReportMotor(context, 0, left, std::nullopt, kSettlingSeconds);
  });

  const std::uint8_t enq = head::kEnq;
  int errors = 0;
  for (int reading = 0; reading < kReadings; ++reading) {
    if (SendFrame(context.port, context.bell, head::MotorSpeedRequestFrame()) != 1) {
      return StopMotorAfterFailure(context);
    }
    WaitSeconds(context.clock, context.pump, kReadingSeconds, [&context, reading](double left) {
      ReportMotor(context, reading, left, std::nullopt, kReadingSeconds);
    });
    if (QueryReply(context.port, context.bell, head::kReplyMotorSpeed, record.ReplyBuf.data(), 1,
                   &enq) != 1) {
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
  SendFrame(context.port, context.bell, head::MotorStopFrame());
  SendCommand(context.port, context.bell, head::kCmdEndReading);
  return errors == 0 ? kStepSucceeded : kStepFailed;
}
