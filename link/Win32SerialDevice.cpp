#include "link/Win32SerialDevice.h"

#include "link/WindowsApi.h"

#include <algorithm>
#include <chrono>

#include "link/ComPortPath.h"
#include "link/IdlePump.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// As on the other platforms: how often the window may repaint while a read waits, how close to the
// read's end it no longer may, and how long a write may stall before the tool gives up on it.
constexpr DWORD kPumpIntervalMs = 20;
constexpr milliseconds kPumpInterval{kPumpIntervalMs};
constexpr milliseconds kPumpMargin{25};
constexpr DWORD kWriteStallLimitMs = 5000;

HANDLE PortHandle(void* port) {
  return static_cast<HANDLE>(port);
}

void ToNative(const Dcb& dcb, DCB& native) {
  native.BaudRate = dcb.BaudRate;
  native.ByteSize = dcb.ByteSize;
  native.Parity = dcb.Parity;
  native.StopBits = dcb.StopBits;
  native.fBinary = dcb.fBinary;
  native.fParity = dcb.fParity;
  native.fOutxCtsFlow = dcb.fOutxCtsFlow;
  native.fOutxDsrFlow = dcb.fOutxDsrFlow;
  native.fDtrControl = dcb.fDtrControl & 3u;
  native.fDsrSensitivity = dcb.fDsrSensitivity;
  native.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
  native.fOutX = dcb.fOutX;
  native.fInX = dcb.fInX;
  native.fErrorChar = dcb.fErrorChar;
  native.fNull = dcb.fNull;
  native.fRtsControl = dcb.fRtsControl & 3u;
  native.fAbortOnError = dcb.fAbortOnError;
}

void FromNative(const DCB& native, Dcb& dcb) {
  dcb.BaudRate = native.BaudRate;
  dcb.ByteSize = native.ByteSize;
  dcb.Parity = native.Parity;
  dcb.StopBits = native.StopBits;
  dcb.fBinary = native.fBinary != 0;
  dcb.fParity = native.fParity != 0;
  dcb.fOutxCtsFlow = native.fOutxCtsFlow != 0;
  dcb.fOutxDsrFlow = native.fOutxDsrFlow != 0;
  dcb.fDtrControl = static_cast<std::uint8_t>(native.fDtrControl);
  dcb.fDsrSensitivity = native.fDsrSensitivity != 0;
  dcb.fTXContinueOnXoff = native.fTXContinueOnXoff != 0;
  dcb.fOutX = native.fOutX != 0;
  dcb.fInX = native.fInX != 0;
  dcb.fErrorChar = native.fErrorChar != 0;
  dcb.fNull = native.fNull != 0;
  dcb.fRtsControl = static_cast<std::uint8_t>(native.fRtsControl);
  dcb.fAbortOnError = native.fAbortOnError != 0;
}

}  // namespace

Win32SerialDevice::Win32SerialDevice() : devicePaths_(DevicePathFor) {}

Win32SerialDevice::Win32SerialDevice(DevicePaths devicePaths)
    : devicePaths_(std::move(devicePaths)) {}

Win32SerialDevice::~Win32SerialDevice() {
  Close();
}

bool Win32SerialDevice::Fail(unsigned long error) {
  lastError_ = static_cast<int>(error);
  return false;
}

bool Win32SerialDevice::FailWithLastError() {
  return Fail(GetLastError());
}

bool Win32SerialDevice::TransferFailed() {
  const DWORD error = GetLastError();
  // What a removed adapter's driver answers (ERROR_ACCESS_DENIED among them), and what Wine makes
  // of a terminal that hung up; the line will not come back on this handle.
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_BROKEN_PIPE:
      lineLost_ = true;
      break;
    default:
      break;
  }
  return Fail(error);
}

bool Win32SerialDevice::Open(const std::string& comName) {
  Close();
  const auto path = devicePaths_(comName);
  if (!path) return Fail(ERROR_FILE_NOT_FOUND);

  // Share mode 0 keeps everybody else out of the port, but Wine ignores it for ports. A named
  // mutex per device keeps at least a second copy of the tool out there too, with the number
  // Windows gives for a port in use.
  std::string guardName = "Local\\qzr71adj port " + *path;
  std::replace(guardName.begin() + 6, guardName.end(), '\\', '/');
  const HANDLE guard = CreateMutexA(nullptr, FALSE, guardName.c_str());
  if (guard == nullptr) return FailWithLastError();
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(guard);
    return Fail(ERROR_ACCESS_DENIED);
  }
  const HANDLE port = CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  const DWORD openError = GetLastError();
  const HANDLE ioDone =
      port == INVALID_HANDLE_VALUE ? nullptr : CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ioDone == nullptr) {
    const DWORD error = port == INVALID_HANDLE_VALUE ? openError : GetLastError();
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    CloseHandle(guard);
    return Fail(error);
  }
  port_ = port;
  ioDone_ = ioDone;
  guard_ = guard;
  timeouts_ = CommTimeouts{};
  return true;
}

bool Win32SerialDevice::GetCommState(Dcb& dcb) {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  DCB native{};
  native.DCBlength = sizeof native;
  if (!::GetCommState(PortHandle(port_), &native)) return FailWithLastError();
  FromNative(native, dcb);
  return true;
}

bool Win32SerialDevice::SetCommState(const Dcb& dcb) {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  // The fields a Dcb does not hold (XON/XOFF limits and characters) stay as the port has them.
  DCB native{};
  native.DCBlength = sizeof native;
  if (!::GetCommState(PortHandle(port_), &native)) return FailWithLastError();
  ToNative(dcb, native);
  if (!::SetCommState(PortHandle(port_), &native)) return FailWithLastError();
  return true;
}

bool Win32SerialDevice::SetCommTimeouts(const CommTimeouts& timeouts) {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  COMMTIMEOUTS native{};
  native.ReadIntervalTimeout = 0;
  native.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
  native.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
  native.WriteTotalTimeoutMultiplier = 0;
  native.WriteTotalTimeoutConstant = 0;
  if (!::SetCommTimeouts(PortHandle(port_), &native)) return FailWithLastError();
  timeouts_ = timeouts;
  return true;
}

bool Win32SerialDevice::Purge(unsigned flags) {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  DWORD native = 0;
  if ((flags & kPurgeTransmit) != 0) native |= PURGE_TXCLEAR;
  if ((flags & kPurgeReceive) != 0) native |= PURGE_RXCLEAR;
  if (native == 0) return true;
  if (!PurgeComm(PortHandle(port_), native)) return FailWithLastError();
  return true;
}

bool Win32SerialDevice::ClearCommError() {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(PortHandle(port_), &errors, &status)) return FailWithLastError();
  return true;
}

bool Win32SerialDevice::Write(const std::uint8_t* bytes, std::uint32_t count) {
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  OVERLAPPED io{};
  io.hEvent = static_cast<HANDLE>(ioDone_);
  ResetEvent(io.hEvent);
  DWORD written = 0;
  if (!WriteFile(PortHandle(port_), bytes, count, &written, &io)) {
    if (GetLastError() != ERROR_IO_PENDING) return TransferFailed();
    // Writes have no time-out of their own; this only keeps a wedged adapter from freezing the
    // tool.
    if (WaitForSingleObject(io.hEvent, kWriteStallLimitMs) != WAIT_OBJECT_0) {
      CancelIo(PortHandle(port_));
      GetOverlappedResult(PortHandle(port_), &io, &written, TRUE);
      return Fail(ERROR_TIMEOUT);
    }
  }
  if (!GetOverlappedResult(PortHandle(port_), &io, &written, TRUE)) return TransferFailed();
  if (written != count) return Fail(ERROR_WRITE_FAULT);
  // A finished write may still sit in the driver's or the adapter's buffer. Return only once the
  // bytes have left, so that the read's time-out starts then and the next write's transmit purge
  // finds nothing of this request. A driver that cannot flush still sent the bytes: its refusal
  // only costs that certainty, not the write.
  FlushFileBuffers(PortHandle(port_));
  return true;
}

bool Win32SerialDevice::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                             IdlePump* pump) {
  bytesRead = 0;
  if (port_ == nullptr) return Fail(ERROR_INVALID_HANDLE);
  OVERLAPPED io{};
  io.hEvent = static_cast<HANDLE>(ioDone_);
  ResetEvent(io.hEvent);
  DWORD got = 0;
  if (!ReadFile(PortHandle(port_), buffer, count, &got, &io)) {
    if (GetLastError() != ERROR_IO_PENDING) return TransferFailed();
    // The port's time-out ends the read; meanwhile the window may repaint, though not so close to
    // the end that the repaint would make the read late.
    const auto start = Clock::now();
    const auto deadline = start + milliseconds(timeouts_.ReadTotalTimeoutConstant +
                                               timeouts_.ReadTotalTimeoutMultiplier * count);
    auto lastPump = start;
    for (;;) {
      const DWORD waited = WaitForSingleObject(io.hEvent, kPumpIntervalMs);
      if (waited == WAIT_OBJECT_0) break;
      if (waited != WAIT_TIMEOUT) {
        const DWORD error = GetLastError();
        CancelIo(PortHandle(port_));
        GetOverlappedResult(PortHandle(port_), &io, &got, TRUE);
        return Fail(error);
      }
      const auto now = Clock::now();
      if (pump != nullptr && now - lastPump >= kPumpInterval && deadline - now >= kPumpMargin) {
        pump->Pump();
        lastPump = Clock::now();
      }
    }
  }
  // A read that its time-out ended is a read of fewer bytes, not a failure; Wine reports it as
  // ERROR_TIMEOUT, with the bytes that did arrive.
  if (!GetOverlappedResult(PortHandle(port_), &io, &got, TRUE) && GetLastError() != ERROR_TIMEOUT) {
    return TransferFailed();
  }
  bytesRead = got;
  return true;
}

void Win32SerialDevice::Close() {
  for (void* handle : {port_, ioDone_, guard_}) {
    if (handle != nullptr) CloseHandle(static_cast<HANDLE>(handle));
  }
  port_ = nullptr;
  ioDone_ = nullptr;
  guard_ = nullptr;
  lineLost_ = false;
}
