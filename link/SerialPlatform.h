#pragma once

#include <cstdint>
#include <string>

#include "link/Dcb.h"

class IdlePump;

// The serial services the port driver stands on. One port at a time; every operation reports
// failure by its result and leaves the reason in LastError() (an errno value).
class SerialPlatform {
 public:
  virtual ~SerialPlatform() = default;

  // Opens "COM1".."COM4" for exclusive use. A port still open from before is closed first.
  virtual bool Open(const std::string& comName) = 0;
  virtual bool GetCommState(Dcb& dcb) = 0;
  virtual bool SetCommState(const Dcb& dcb) = 0;
  virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool Purge(unsigned flags) = 0;
  // Forgets line errors seen so far, so that transfers work again.
  virtual bool ClearCommError() = 0;
  // Blocks until every byte has left the port.
  virtual bool Write(const std::uint8_t* bytes, std::uint32_t count) = 0;
  // Blocks until count bytes arrived or the read time-out ran out; bytesRead tells how many
  // arrived either way. The pump, when given, runs now and then while nothing arrives.
  virtual bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                    IdlePump* pump) = 0;
  virtual void Close() = 0;
  virtual int LastError() const = 0;
  // True once a transfer found the line itself gone: a hang-up, a device that was removed, a
  // connection that dropped. Silence and line errors do not count. False again after Open.
  virtual bool LineLost() const = 0;
  // What the last failed open found, in words, where a device can say more than its number (a
  // serial device server that left an answer out); empty otherwise.
  virtual std::string FailureText() const { return {}; }
};
