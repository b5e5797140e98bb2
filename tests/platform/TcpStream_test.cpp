// TCP streams over real loopback connections: line ends and limits,
// segments, peer close, time-outs, aborting a blocked read from another
// thread, and a refused connect.
#include "platform/TcpStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/Failure.h"
#include "platform/NetAddress.h"
#include "platform/TcpListener.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using os::TcpStream;
using testing_support::TimeOf;

namespace {

// A connected pair of streams over 127.0.0.1.
struct Pair {
  os::TcpListener listener;
  TcpStream client;
  std::unique_ptr<TcpStream> server;

  Pair() {
    listener.Listen("127.0.0.1", 0, 4);
    client.Connect(os::MakeAddress("127.0.0.1", listener.Port()), 2000);
    server = listener.Accept();
  }
  void Send(const std::string& bytes) {
    client.Write(bytes);
    client.Flush();
  }
};

}  // namespace

TEST(TcpStream, LineEndsAndLimits) {
  const std::string limit(16384, 'a');
  struct Case {
    std::string sent;
    bool accepted;
    std::string line;
  } cases[] = {
      {"abc\r\n", true, "abc"},       {"abc\n", true, "abc"},
      {"a\rb\r\r\n", true, "a\rb\r"}, {std::string(16383, 'a') + "\r\n", true, std::string(16383, 'a')},
      {limit + "\n", true, limit},    {limit + "\r\n", false, ""},
      {limit + "a", false, ""},  // no LF yet, already too long
  };
  for (const auto& c : cases) {
    Pair pair;
    pair.Send(c.sent);
    if (c.accepted) {
      EXPECT_EQ(pair.server->ReadLine(2000), c.line) << "sent " << c.sent.size() << " bytes";
    } else {
      EXPECT_THROW(pair.server->ReadLine(2000), ELineTooLong) << "sent " << c.sent.size() << " bytes";
    }
  }
}

TEST(TcpStream, LinesSplitAcrossSegmentsAndManyInOne) {
  Pair pair;
  pair.Send("one\r\ntw");
  EXPECT_EQ(pair.server->ReadLine(2000), "one");
  std::thread later([&] {
    std::this_thread::sleep_for(20ms);
    pair.Send("o\r\nthree\nfour\r\n");
  });
  EXPECT_EQ(pair.server->ReadLine(2000), "two");
  EXPECT_EQ(pair.server->ReadLine(2000), "three");
  EXPECT_TRUE(pair.server->HasBufferedLine());
  EXPECT_EQ(pair.server->ReadLine(2000), "four");
  later.join();
}

TEST(TcpStream, PeerCloseAndTimeout) {
  Pair pair;
  EXPECT_THROW(pair.server->ReadLine(50), EReadTimeout);
  pair.Send("partial");
  pair.client.Close();
  EXPECT_THROW(pair.server->ReadLine(2000), EConnectionClosed);
  EXPECT_FALSE(pair.server->IsOpen());
}

TEST(TcpStream, AbortFromAnotherThreadEndsBlockedRead) {
  Pair pair;
  auto reader = std::async(std::launch::async, [&] {
    return TimeOf([&] { EXPECT_THROW(pair.server->ReadLine(), EConnectionClosed); });
  });
  std::this_thread::sleep_for(50ms);
  pair.server->Abort();
  EXPECT_LT(reader.get(), 1000ms);
  EXPECT_FALSE(pair.server->IsOpen());
}

TEST(TcpStream, ConnectRefusedAndReusable) {
  os::TcpListener listener;
  listener.Listen("127.0.0.1", 0, 1);
  const uint16_t port = listener.Port();
  listener.Close();
  TcpStream stream;
  try {
    stream.Connect(os::MakeAddress("127.0.0.1", port), 2000);
    FAIL() << "connect to a closed port succeeded";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.Code(), ECONNREFUSED);
  }
  EXPECT_FALSE(stream.IsOpen());
}
