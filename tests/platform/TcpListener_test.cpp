// The listening socket: an abort ends a blocked accept at once, and address
// reuse never lets a second listener onto an active port.
#include "platform/TcpListener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/Failure.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using testing_support::TimeOf;

TEST(TcpListener, AbortEndsAcceptAtOnce) {
  os::TcpListener listener;
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
  os::TcpListener first;
  first.Listen("", 0, 1);
  os::TcpListener second;
  try {
    second.Listen("", first.Port(), 1);
    FAIL() << "second listener bound an active port";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.Code(), EADDRINUSE);
  }
}
