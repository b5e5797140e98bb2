// A plain line-oriented TCP client for tests: what a mail program does on
// the wire, with every wait bounded so a failing test cannot hang.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/TcpStream.h"

namespace testing_support {

class LineClient {
 public:
  static constexpr int kWaitMs = 5000;

  // Connects to 127.0.0.1:port, or from a given local loopback address.
  explicit LineClient(uint16_t port, const std::string& localIp = "");

  void Send(const std::string& line);      // adds CR LF
  void SendRaw(const std::string& bytes);  // exactly these bytes
  std::string ReadLine(int timeoutMs = kWaitMs);
  // Sends a line and returns the one-line reply.
  std::string Command(const std::string& line);
  // True when the server closes the connection within the time limit
  // without sending another line.
  bool ClosedByPeer(int timeoutMs = kWaitMs);
  os::TcpStream& Stream() { return *stream_; }

 private:
  std::unique_ptr<os::TcpStream> stream_;
};

// Polls a condition every few milliseconds until it holds or the limit passes.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

}  // namespace testing_support
