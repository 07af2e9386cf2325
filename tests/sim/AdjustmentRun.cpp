#include "tests/sim/AdjustmentRun.h"

#include <algorithm>
#include <cmath>

#include "link/Primitives.h"
#include "sim/StoredData.h"

namespace {

constexpr std::array<std::size_t, 11> kTested = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 22};
constexpr std::array<std::uint8_t, 23> kBlackLimit = {
    15, 15, 15, 40, 15, 15, 40, 15, 40, 15, 76, 76, 76, 76, 76, 76, 76, 76, 76, 76, 76, 76, 15};

std::uint8_t Target24(std::size_t c) {
  return (c >= 10 && c <= 21) ? 153 : 102;
}

std::string Channel(const char* what, std::size_t c) {
  return std::string(what) + " " + std::to_string(c);
}

}  // namespace

void AdjustmentRun::Command(std::uint8_t code, const char* where) {
  if (!SendCommand(port_, bell_, code)) throw Stop{std::string("comm: ") + where};
}

void AdjustmentRun::Send(const head::Frame& frame, const char* where) {
  if (!SendFrame(port_, bell_, frame)) throw Stop{std::string("comm: ") + where};
}

void AdjustmentRun::Query(std::uint8_t length, const char* where) {
  if (!QueryReply(port_, bell_, length, reply_.data(), 1, &head::kEnq)) {
    throw Stop{std::string("comm: ") + where};
  }
}

void AdjustmentRun::Reading(const char* where) {
  Command(head::kCmdTakeReading, where);
  Query(head::kReplyReading, where);
  Command(head::kCmdEndReading, where);
}

void AdjustmentRun::StoredData() {
  Command(head::kCmdReadStoredData, "B1");
  Query(head::kReplyStoredDataAnswer, "stored answer");
  if (std::toupper(reply_[0]) == 'N' && std::toupper(reply_[1]) == 'G') return;
  for (int fetch = 0;; ++fetch) {
    if (QueryReply(port_, bell_, head::kReplyHeadDataBlock, reply_.data(), 1, &head::kEnq)) break;
    if (fetch == 3) throw Stop{"comm: block"};
    bell_.Ring();
  }
  result_.hadData = true;
  std::copy_n(reply_.begin(), 160, result_.block.begin());
}

void AdjustmentRun::MotorSpeed() {
  Send(head::OpeningFrame(), "opening");
  Send(head::MotorStartFrame(), "motor start");
  int errors = 0;
  for (int i = 0; i < 3; ++i) {
    try {
      Send(head::MotorSpeedRequestFrame(), "speed request");
      Query(head::kReplyMotorSpeed, "speed");
    } catch (const Stop&) {
      SendFrame(port_, bell_, head::MotorStopFrame());
      throw;
    }
    result_.motorSpeed = head::LittleEndian16(reply_.data()) / 10u;
    if (result_.motorSpeed < 270 || result_.motorSpeed > 450) ++errors;
  }
  SendFrame(port_, bell_, head::MotorStopFrame());
  SendCommand(port_, bell_, head::kCmdEndReading);
  if (errors) throw Stop{"motor speed"};
}

void AdjustmentRun::RegisterCheck() {
  std::array<std::uint8_t, 24> gains{}, da{};
  for (std::size_t c : kTested) gains[c] = 32, da[c] = 200;
  Send(head::GainFrame24(gains), "gain 32");
  for (bool over = true; over;) {
    ++result_.overVoltagePasses;
    Send(head::DaFrame(da), "da");
    Reading("over-voltage reading");
    over = false;
    for (std::size_t c : kTested) {
      if (reply_[c] < 220) continue;
      over = true;
      if (da[c] == 1) throw Stop{Channel("over-voltage", c)};
      da[c] = static_cast<std::uint8_t>(da[c] > 3 ? da[c] - 3 : da[c] - 1);
    }
  }
  std::array<std::uint8_t, 24> previous{};
  std::string bad;
  for (int r = 0; r < 6; ++r) {
    for (std::size_t c : kTested) gains[c] = static_cast<std::uint8_t>(1 << r);
    Send(head::GainFrame24(gains), "gain step");
    Reading("gain step reading");
    for (std::size_t c : kTested) {
      if (r > 0 && reply_[c] <= previous[c] && bad.empty()) bad = Channel("gain step", c);
    }
    std::copy_n(reply_.begin(), 24, previous.begin());
  }
  if (!bad.empty()) throw Stop{bad};
}

void AdjustmentRun::AdjustGain(bool longSet) {
  const std::size_t adjusted = longSet ? 23 : 12;
  std::array<std::uint8_t, 24> da{};
  if (longSet) {
    da.fill(100);
    da[3] = da[6] = da[8] = 110;
  } else {
    std::copy_n(result_.daValue.begin(), 23, da.begin());
    da[23] = 100;
  }
  Send(head::DaFrame(da), "gain da");
  std::array<std::uint8_t, 24> gains{};
  std::array<bool, 24> done{};
  std::array<std::uint8_t, 24> shortfall{};
  shortfall.fill(255);
  std::size_t doneCount = 0;
  int& passes = longSet ? result_.gainPasses24 : result_.gainPasses16;
  auto send = [&] {
    std::array<std::uint8_t, 16> short16{};
    std::copy_n(gains.begin(), 16, short16.begin());
    Send(longSet ? head::GainFrame24(gains) : head::GainFrame16(short16), "gain frame");
  };
  for (int k = 0; k < 64 && doneCount < adjusted; ++k) {
    ++passes;
    send();
    for (int i = 0; i < 5; ++i)
      Query(longSet ? head::kReplyLevels24 : head::kReplyLevels16, "levels");
    for (std::size_t c = 0; c < adjusted; ++c) {
      if (done[c]) continue;
      const int target = longSet ? Target24(c) : (c == 11 ? 178 : 102);
      const int level = reply_[c];
      if (level < target) {
        shortfall[c] = static_cast<std::uint8_t>(target - level);
        if (!longSet && k == 15 && c == 11) {
          done[c] = true, ++doneCount;
        } else {
          ++gains[c];
        }
      } else {
        if (level - target > shortfall[c]) --gains[c];
        done[c] = true, ++doneCount;
      }
    }
  }
  send();
  if (longSet) {
    result_.paperGain = gains;
  } else {
    std::copy_n(gains.begin(), 16, result_.noPaperGain.begin());
  }
}

void AdjustmentRun::AdjustDa() {
  Send(head::DaAdjustStartFrame(), "A1");
  int run = 0;
  for (int n = 0; n < 600; ++n) {
    ++result_.daReadings;
    Query(head::kReplyDaAdjust, "A1 levels");
    std::copy_n(reply_.begin() + 24, 24, result_.daValue.begin());
    bool good = true;
    for (std::size_t c = 0; c < 23; ++c) {
      const double t = Target24(c);
      const auto low = static_cast<std::uint8_t>(t - 5.1),
                 high = static_cast<std::uint8_t>(t + 5.1);
      good = good && reply_[c] >= low && reply_[c] <= high;
    }
    run = good ? run + 1 : 0;
    if (run == 10) {
      for (std::size_t c = 0; c < 23; ++c) {
        if (result_.daValue[c] < 80 || result_.daValue[c] > 120) throw Stop{Channel("da range", c)};
      }
      Send(head::FrontExitRequestFrame(), "A7");
      Query(head::kReplyFrontExit, "A7 reply");
      return;
    }
  }
  throw Stop{"da never settled"};
}

void AdjustmentRun::DataSelect() {
  std::array<std::uint8_t, 16> gains{};
  std::copy_n(result_.paperGain.begin(), 10, gains.begin());
  Send(head::GainFrame16(gains), "data select gains");
  Reading("data select reading");
  for (std::size_t c = 0; c < 10; ++c) {
    if (std::abs(reply_[c] - reply_[24 + c]) < 51) throw Stop{Channel("data select", c)};
  }
}

void AdjustmentRun::BlackLevel() {
  Send(head::BlackLevelStartFrame(), "A2");
  for (int i = 0; i < 10; ++i) Query(head::kReplyBlackLevels, "black levels");
  std::copy_n(reply_.begin(), 24, result_.blackLevel.begin());
  for (std::size_t c = 0; c < 23; ++c) {
    if (reply_[c] > kBlackLimit[c]) throw Stop{Channel("black level", c)};
  }
  Send(head::FrontExitRequestFrame(), "A7");
  Query(head::kReplyFrontExit, "front/exit in paper");
  frontInPaper_ = reply_[0];
  exitInPaper_ = reply_[1];
}

void AdjustmentRun::NonPaper() {
  std::array<std::uint8_t, 16> gains{};
  gains[11] = 12;
  Send(head::GainFrame16(gains), "s0t gain 12");
  std::array<std::uint8_t, 24> da = result_.daValue;
  da[23] = 200;
  for (;;) {
    Send(head::DaFrame(da), "s0t da");
    Reading("s0t saturation reading");
    if (reply_[35] < 220) break;
    if (da[23] == 1) throw Stop{"s0t saturated"};
    da[23] = static_cast<std::uint8_t>(da[23] > 3 ? da[23] - 2 : da[23] - 1);
  }
  bool pass = true;
  int previous = 0, first = 0;
  const std::array<std::uint8_t, 5> steps = {7, 8, 9, 10, 12};
  for (std::size_t j = 0; j < steps.size(); ++j) {
    gains[11] = steps[j];
    Send(head::GainFrame16(gains), "s0t gain step");
    Reading("s0t gain reading");
    const int level = reply_[35];
    if (j > 0 && level < std::max(previous - 10, 0)) pass = false;
    if (j == 0) first = level;
    if (j == 4 && level < first) pass = false;
    previous = level;
  }
  if (!pass) throw Stop{"s0t gain response"};
  AdjustGain(false);
  if (result_.noPaperGain[11] > 11) throw Stop{"s0t gain over 11"};
  Send(head::S0tAdjustStartFrame(), "A0");
  int inWindow = 0;
  for (int polls = 0; polls < 1000; ++polls) {
    ++result_.s0tPolls;
    Query(head::kReplyS0tAdjust, "A0 reply");
    result_.daValue[23] = reply_[1];
    if (reply_[0] >= 167.8 && reply_[0] <= 188.2 && ++inWindow == 20) {
      if (reply_[1] < 80 || reply_[1] > 120) break;
      return FrontExit();
    }
  }
  throw Stop{"s0t regulation"};
}

void AdjustmentRun::FrontExit() {
  Send(head::NoPaperBlockStartFrame(), "A3");
  for (int i = 0; i < 10; ++i) Query(head::kReplyNoPaperBlock, "no-paper block");
  std::copy_n(reply_.begin(), 16, result_.noPaperLevel.begin());
  Send(head::FrontExitRequestFrame(), "A7");
  Query(head::kReplyFrontExit, "front/exit no paper");
  const int front = reply_[0], exit = reply_[1];
  if (front >= 102) result_.notes.push_back("front no-paper");
  if (exit >= 102) result_.notes.push_back("exit no-paper");
  if (frontInPaper_ <= front + 84) result_.notes.push_back("front in-paper");
  if (exitInPaper_ <= exit + 84) result_.notes.push_back("exit in-paper");
  Send(head::FrontExitRequestFrame(), "A7 again");
  Query(head::kReplyFrontExit, "front/exit again");
}

void AdjustmentRun::CheckWord() {
  result_.checkWord = sim::CheckWordFor(result_.motorSpeed, result_.paperGain[0]);
  Send(head::CheckWordFrame(result_.checkWord), "D5");
  Query(head::kReplyCheckWordEcho, "echo");
  if (head::LittleEndian16(reply_.data()) != result_.checkWord) throw Stop{"check word"};
}

void AdjustmentRun::WriteBack(const std::array<std::uint8_t, 32>& identification) {
  Send(head::IdentificationFrame(identification), "B2");
  Query(head::kReplyIdentification, "B2 answer");
  if (std::toupper(reply_[0]) == 'N' && std::toupper(reply_[1]) == 'G') throw Stop{"write fail"};
  Send(head::FinishFrame(), "D1");
}

RunResult AdjustmentRun::Run(const std::array<std::uint8_t, 32>& identification) {
  result_ = RunResult{};
  try {
    StoredData();
    MotorSpeed();
    RegisterCheck();
    AdjustGain(true);
    AdjustDa();
    DataSelect();
    BlackLevel();
    NonPaper();
    CheckWord();
    WriteBack(identification);
  } catch (const Stop& stop) {
    result_.failure = stop.why;
    SendCommand(port_, bell_, head::kCmdEndReading);
  }
  return result_;
}
