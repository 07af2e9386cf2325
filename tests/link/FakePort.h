#pragma once

#include <string>
#include <vector>

#include "link/SerialPlatform.h"

// Serial services that record what the driver asked for and fail on demand: line errors and
// refused configurations that a pseudo-terminal cannot produce.
class FakePort final : public SerialPlatform {
 public:
  bool Open(const std::string& comName) override {
    calls.push_back("Open " + comName);
    return Result(openFails);
  }
  bool GetCommState(Dcb& dcb) override {
    calls.push_back("GetCommState");
    dcb = Dcb{};
    return true;
  }
  bool SetCommState(const Dcb& dcb) override {
    calls.push_back("SetCommState");
    configured = dcb;
    return Result(configureFails);
  }
  bool SetCommTimeouts(const CommTimeouts& set) override {
    calls.push_back("SetCommTimeouts");
    timeouts = set;
    return true;
  }
  bool Purge(unsigned flags) override {
    calls.push_back(std::string("Purge") + ((flags & kPurgeTransmit) ? " transmit" : "") +
                    ((flags & kPurgeReceive) ? " receive" : ""));
    return true;
  }
  bool ClearCommError() override {
    calls.push_back("ClearCommError");
    return true;
  }
  bool Write(const std::uint8_t*, std::uint32_t count) override {
    calls.push_back("Write " + std::to_string(count));
    return Result(writeFails);
  }
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
            IdlePump*) override {
    calls.push_back("Read " + std::to_string(count));
    bytesRead = count < 2 ? count : 2;
    for (std::uint32_t i = 0; i < bytesRead; ++i) buffer[i] = 0x06;
    return Result(readFails);
  }
  void Close() override { calls.push_back("Close"); }
  int LastError() const override { return error; }
  bool LineLost() const override { return lineLost; }
  std::string FailureText() const override { return failureText; }

  bool openFails = false;
  bool configureFails = false;
  bool writeFails = false;
  bool readFails = false;
  bool lineLost = false;
  std::string failureText;
  int error = 0x57;
  Dcb configured;
  CommTimeouts timeouts;
  std::vector<std::string> calls;

 private:
  static bool Result(bool fails) { return !fails; }
};
