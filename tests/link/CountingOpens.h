#pragma once

#include "link/SerialPlatform.h"

// The platform's serial services, unchanged, with the number of opens counted: a port reopened
// where nothing asked for it shows here.
class CountingOpens final : public SerialPlatform {
 public:
  explicit CountingOpens(SerialPlatform& inner) : inner_(inner) {}

  bool Open(const std::string& comName) override {
    ++opens;
    return inner_.Open(comName);
  }
  bool GetCommState(Dcb& dcb) override { return inner_.GetCommState(dcb); }
  bool SetCommState(const Dcb& dcb) override { return inner_.SetCommState(dcb); }
  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    return inner_.SetCommTimeouts(timeouts);
  }
  bool Purge(unsigned flags) override { return inner_.Purge(flags); }
  bool ClearCommError() override { return inner_.ClearCommError(); }
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override {
    return inner_.Write(bytes, count);
  }
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
            IdlePump* pump) override {
    return inner_.Read(buffer, count, bytesRead, pump);
  }
  void Close() override { inner_.Close(); }
  int LastError() const override { return inner_.LastError(); }
  bool LineLost() const override { return inner_.LineLost(); }

  int opens = 0;

 private:
  SerialPlatform& inner_;
};
