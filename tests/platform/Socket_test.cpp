// The socket layer over real loopback connections: line limits, time-outs,
// and aborting a blocked call from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/Failure.h"
#include "platform/NetAddress.h"
#include "platform/TcpListener.h"
#include "platform/TcpStream.h"
#include "platform/UdpSocket.h"

using namespace std::chrono_literals;
using net::TcpStream;

namespace {

// A connected pair of streams over 127.0.0.1.
struct Pair {
  net::TcpListener listener;
  TcpStream client;
  std::unique_ptr<TcpStream> server;

  Pair() {
    listener.Listen("127.0.0.1", 0, 4);
    client.Connect(net::MakeAddress("127.0.0.1", listener.Port()), 2000);
    server = listener.Accept();
  }
  void Send(const std::string& bytes) {
    client.Write(bytes);
    client.Flush();
  }
};

template <typename F>
std::chrono::milliseconds TimeOf(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

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
  net::TcpListener listener;
  listener.Listen("127.0.0.1", 0, 1);
  const uint16_t port = listener.Port();
  listener.Close();
  TcpStream stream;
  try {
    stream.Connect(net::MakeAddress("127.0.0.1", port), 2000);
    FAIL() << "connect to a closed port succeeded";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.Code(), ECONNREFUSED);
  }
  EXPECT_FALSE(stream.IsOpen());
}

TEST(TcpListener, AbortEndsAcceptAtOnce) {
  net::TcpListener listener;
  listener.Listen("127.0.0.1", 0, 1);
  auto acceptor = std::async(std::launch::async, [&] { return listener.Accept(); });
  std::this_thread::sleep_for(50ms);
  auto elapsed = TimeOf([&] {
    listener.Abort();
    EXPECT_EQ(acceptor.get(), nullptr);
  });
  EXPECT_LT(elapsed, 500ms);
}

TEST(TcpListener, SecondListenerOnSamePortFailsDespiteReuse) {
  net::TcpListener first;
  first.Listen("", 0, 1);
  net::TcpListener second;
  try {
    second.Listen("", first.Port(), 1);
    FAIL() << "second listener bound an active port";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.Code(), EADDRINUSE);
  }
}

TEST(UdpSocket, TimeoutDatagramAndAbort) {
  net::UdpSocket a, b;
  a.Open();
  b.Open();
  EXPECT_FALSE(a.Receive(30, 512).has_value());

  b.SendTo(net::MakeAddress("127.0.0.1", a.LocalPort()), "hello");
  auto datagram = a.Receive(2000, 512);
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(datagram->bytes, "hello");
  EXPECT_EQ(net::ToEndpoint(datagram->from).port, b.LocalPort());

  auto waiter = std::async(
      std::launch::async, [&] { return TimeOf([&] { EXPECT_THROW(a.Receive(10000, 512), ESocketError); }); });
  std::this_thread::sleep_for(50ms);
  a.Abort();
  EXPECT_LT(waiter.get(), 1000ms);
  EXPECT_FALSE(a.IsOpen());
  // The abort holds until it is cleared.
  EXPECT_THROW(a.Open(), ESocketError);
  EXPECT_FALSE(a.IsOpen());
  a.ClearAbort();
  a.Open();
  EXPECT_TRUE(a.IsOpen());
}
