// UDP sockets over loopback: time-out, one datagram with its sender, and
// an abort that ends a wait at once and leaves the socket reopenable.
#include "platform/UdpSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/Failure.h"
#include "platform/NetAddress.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using testing_support::TimeOf;

TEST(UdpSocket, TimeoutDatagramAndAbort) {
  os::UdpSocket a, b;
  a.Open();
  b.Open();
  EXPECT_FALSE(a.Receive(30, 512).has_value());

  b.SendTo(os::MakeAddress("127.0.0.1", a.LocalPort()), "hello");
  auto datagram = a.Receive(2000, 512);
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(datagram->bytes, "hello");
  EXPECT_EQ(os::ToEndpoint(datagram->from).port, b.LocalPort());

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
