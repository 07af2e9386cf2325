#pragma once

#include <cstdio>

// Where the bell between two attempts of an exchange goes.
class BellOutput {
 public:
  virtual ~BellOutput() = default;
  virtual void Ring() = 0;
};

// Byte 7 to the process's standard output through stdio, left in the stream's buffer: a technician
// running the tool from a terminal hears the retries, and nothing blocks on a slow terminal.
class StdioBell final : public BellOutput {
 public:
  void Ring() override { std::fputc(7, stdout); }
};
