#pragma once

#include <linux/serial.h>

// Abort-on-error over a UART's error counters: once parity, framing, overrun or break counts have
// grown past the last clear, transfers fail until the error state is cleared again.
class LineErrorMonitor {
 public:
  // Takes the counters as they are now as the new baseline and forgets any error seen.
  void Clear(const serial_icounter_struct& now) {
    baseline_ = now;
    failed_ = false;
  }
  // Remembers an error when any error counter has grown; true while one is remembered.
  bool Failed(const serial_icounter_struct& now) {
    if (now.parity != baseline_.parity || now.frame != baseline_.frame ||
        now.overrun != baseline_.overrun || now.brk != baseline_.brk ||
        now.buf_overrun != baseline_.buf_overrun) {
      failed_ = true;
    }
    return failed_;
  }

 private:
  serial_icounter_struct baseline_{};
  bool failed_ = false;
};
