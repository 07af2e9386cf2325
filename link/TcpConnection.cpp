#include "link/TcpConnection.h"

// The platform's part is in TcpConnectionPosix.cpp and TcpConnectionWin32.cpp.

TcpConnection::~TcpConnection() {
  Close();
}

bool TcpConnection::Fail(int error) {
  error_ = error;
  return false;
}

bool TcpConnection::Drop(int error) {
  dropped_ = true;
  return Fail(error);
}

bool TcpConnection::IsOpen() const {
  return socket_ != -1;
}
