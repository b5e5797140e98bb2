#include "support/LineClient.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace testing_support {

LineClient::LineClient(uint16_t port, const std::string& localIp) {
  if (localIp.empty()) {
    stream_ = std::make_unique<os::TcpStream>();
    stream_->Connect(os::MakeAddress("127.0.0.1", port), kWaitMs);
    return;
  }
  // Bind the client end first so the server sees another peer address.
  os::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in local = os::MakeAddress(localIp, 0);
  const sockaddr_in remote = os::MakeAddress("127.0.0.1", port);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
    throw ESocketError("test client could not connect from " + localIp);
  }
  stream_ = std::make_unique<os::TcpStream>(std::move(fd));
}

void LineClient::Send(const std::string& line) { SendRaw(line + "\r\n"); }

void LineClient::SendRaw(const std::string& bytes) {
  stream_->Write(bytes);
  stream_->Flush(kWaitMs);
}

std::string LineClient::ReadLine(int timeoutMs) { return stream_->ReadLine(timeoutMs); }

std::string LineClient::Command(const std::string& line) {
  Send(line);
  return ReadLine();
}

bool LineClient::ClosedByPeer(int timeoutMs) {
  try {
    stream_->ReadLine(timeoutMs);
    return false;
  } catch (const EConnectionClosed&) {
    return true;
  } catch (const ESocketError&) {
    return true;  // reset by the peer
  } catch (const EReadTimeout&) {
    return false;
  }
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace testing_support
