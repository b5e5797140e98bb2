// Instances of the program meet through a lock and a local socket in a
// private folder: the first one claims both, a later one hands its request
// over, and a socket file is only ever replaced when nothing answers on it.
#include "app/InstanceLink.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <future>
#include <string>

#include "app/InstanceChannel.h"
#include "platform/UnixSocket.h"
#include "support/TempFolder.h"

using testing_support::TempFolder;
using namespace std::chrono_literals;

namespace {

// Runs the event loop until the future is ready (at most limitMs).
template <typename T>
T ServeUntil(std::future<T>& result, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (result.wait_for(0ms) != std::future_status::ready && clock.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return result.get();
}

TEST(InstanceLink, TheFirstClaimsTheSecondHandsOver) {
  TempFolder folder;
  InstanceLink first(folder.Path(), "/home/user/data");
  InstanceLink second(folder.Path(), "/home/user/data");
  InstanceLink otherFiles(folder.Path(), "/home/user/other");
  ASSERT_EQ(first.Claim(), InstanceLink::Role::kFirst);
  EXPECT_EQ(second.Claim(), InstanceLink::Role::kSecond);
  EXPECT_EQ(otherFiles.Claim(), InstanceLink::Role::kFirst) << "another data folder is another instance";

  // The first is still starting: the second waits for it, then gives up.
  EXPECT_FALSE(second.Send(kRestoreMessage, 200ms));

  InstanceChannel channel(first.Listen());
  ASSERT_TRUE(channel.Listening());
  int opened = 0, closed = 0, restored = 0;
  QObject::connect(&channel, &InstanceChannel::openRequested, [&] { ++opened; });
  QObject::connect(&channel, &InstanceChannel::closeRequested, [&] { ++closed; });
  QObject::connect(&channel, &InstanceChannel::restoreRequested, [&] { ++restored; });
  for (const InstanceMessage* message : {&kOpenMessage, &kCloseMessage, &kRestoreMessage}) {
    auto sent = std::async(std::launch::async, [&] { return second.Send(*message, 3s); });
    EXPECT_TRUE(ServeUntil(sent, 5000)) << message->name;
  }
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(restored, 1);

  // A message that matches no row in full does nothing, but is answered.
  const InstanceMessage wrongParameter{kCloseMessage.name, 234, 790};
  auto sent = std::async(std::launch::async, [&] { return second.Send(wrongParameter, 3s); });
  EXPECT_TRUE(ServeUntil(sent, 5000));
  EXPECT_EQ(closed, 1);
}

// A socket file nobody answers on is what a crashed instance leaves: the new
// first instance replaces it. One that answers belongs to a live program and
// is never taken over.
TEST(InstanceLink, OnlyASocketFileNobodyAnswersOnIsReplaced) {
  TempFolder folder;
  {
    InstanceLink link(folder.Path(), "key");
    ASSERT_EQ(link.Claim(), InstanceLink::Role::kFirst);
    // Left behind: bound, never listening, as after a crash.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    link.SocketPath().copy(address.sun_path, sizeof address.sun_path - 1);
    os::Fd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    stale.reset();
    EXPECT_TRUE(link.Listen()) << "a stale socket file must not keep the program from its channel";
  }
  InstanceLink link(folder.Path(), "key");
  ASSERT_EQ(link.Claim(), InstanceLink::Role::kFirst);
  ::unlink(link.SocketPath().c_str());
  os::Fd live = os::ListenUnixSocket(link.SocketPath(), 4);
  ASSERT_TRUE(live);
  EXPECT_FALSE(link.Listen());
  EXPECT_TRUE(os::ConnectUnixSocket(link.SocketPath(), 200ms)) << "the live socket must stay";
}

}  // namespace
