// The listener over loopback: greeting and connect hook, the local-only
// rule, binding failures and restarts, connection threads coming and going,
// and deactivation with idle and busy connections.
#include "intake/LocalServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/NetAddress.h"
#include "platform/TcpListener.h"
#include "support/ListenerFixture.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using testing_support::Eventually;
using testing_support::ListenerFixture;
using testing_support::MailRecorder;
using testing_support::SmtpWireClient;
using testing_support::TimeOf;

namespace {

const std::string kInUse = "Could not bind socket. Address and port are already in use.";

// The bind failure of an activation, with its text checked.
int BindFailureCode(LocalServer& server) {
  try {
    server.SetActive(true);
  } catch (const EBindError& failure) {
    EXPECT_EQ(std::string(failure.what()), kInUse);
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.BoundPort(), 0);
    return failure.Code();
  }
  ADD_FAILURE() << "activation did not fail";
  return -1;
}

// A port that was free a moment ago.
uint16_t FreePort() {
  os::TcpListener probe;
  probe.Listen("127.0.0.1", 0, 1);
  return probe.Port();
}

bool CanConnect(uint16_t port) {
  try {
    SmtpWireClient client(port);
    return true;
  } catch (const ESocketError&) {
    return false;
  }
}

}  // namespace

class LocalServerTest : public ListenerFixture {};

TEST_F(LocalServerTest, GreetingComesBeforeTheConnectHook) {
  os::Endpoint local, peer;
  server.OnConnect = [&](SmtpConnectionThread& thread) {
    local = thread.LocalEndpoint();
    peer = thread.PeerEndpoint();
    thread.Connection().Write("299 hook ran\r\n");
    thread.Connection().Flush();
  };
  Start();
  auto client = Greeted();
  EXPECT_EQ(client->ReadRawLine(), "299 hook ran\r\n");
  EXPECT_EQ(client->Command("NOOP"), "250 Ok\r\n");
  EXPECT_EQ(local.ip, "127.0.0.1");
  EXPECT_EQ(local.port, Port());
  EXPECT_EQ(peer.ip, "127.0.0.1");
  EXPECT_NE(peer.port, 0);
}

TEST_F(LocalServerTest, GreetingWireForms) {
  const std::pair<TReply, std::string> cases[] = {
      {{220, {"Welcome to the Postwick"}}, "220 Welcome to the Postwick\r\n"},
      {{220, {"Welcome to the "}}, "220 Welcome to the \r\n"},
      {{220, {"first", "second", "third"}}, "220-first\r\n220-second\r\n220 third\r\n"},
      {{220, {}}, "220\r\n"},
      {{0, {}}, ""},
  };
  for (const auto& [greeting, wire] : cases) {
    server.Greeting = greeting;
    Start();
    SmtpWireClient client(Port());
    client.Send("NOOP");
    const int lines = static_cast<int>(std::count(wire.begin(), wire.end(), '\n')) + 1;
    EXPECT_EQ(client.ReadRawLines(lines), wire + "250 Ok\r\n");
    server.SetActive(false);
  }
}

TEST_F(LocalServerTest, ThrowingConnectHookClosesAfterTheGreeting) {
  std::atomic<int> kind{0};
  server.OnConnect = [&](SmtpConnectionThread&) {
    switch (kind.load()) {
      case 0:
        throw EFailure("refused");
      case 1:
        throw std::runtime_error("some other failure");
      default:
        throw 42;  // not even an exception class
    }
  };
  Start();
  for (int k = 0; k < 3; ++k) {
    kind = k;
    auto client = Greeted();
    EXPECT_TRUE(client->ClosedWithoutReply()) << "throw kind " << k;
  }
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
}

TEST_F(LocalServerTest, LocalOnlyRefusesOtherPeerAddressesAfterTheGreeting) {
  std::mutex lock;
  std::vector<std::string> refusals;
  server.OnConnect = [&](SmtpConnectionThread& thread) {
    try {
      RestrictToLocalPeers(thread);
    } catch (const EFailure& failure) {
      std::lock_guard guard(lock);
      refusals.push_back(failure.what());
      throw;
    }
  };
  Start();
  auto outsider = Greeted("127.0.0.2");
  EXPECT_TRUE(outsider->ClosedWithoutReply());
  auto local = Greeted("127.0.0.1");
  EXPECT_EQ(local->Command("HELO me"), "250 Hello me\r\n");
  std::lock_guard guard(lock);
  EXPECT_EQ(refusals, std::vector<std::string>{"External connections are restricted!"});
}

TEST_F(LocalServerTest, WithoutTheRuleEveryPeerIsServed) {
  Start();
  auto other = Greeted("127.0.0.2");
  EXPECT_EQ(other->Command("HELO there"), "250 Hello there\r\n");
}

TEST_F(LocalServerTest, PortInUseByAnotherListenerFails) {
  Start();
  LocalServer second;
  second.Bindings = {{"127.0.0.1", Port()}};
  EXPECT_EQ(BindFailureCode(second), EADDRINUSE);

  os::TcpListener plain;
  plain.Listen("127.0.0.1", 0, 1);
  LocalServer third;
  third.Bindings = {{"127.0.0.1", plain.Port()}};
  EXPECT_EQ(BindFailureCode(third), EADDRINUSE);
  plain.Close();
  third.SetActive(true);  // free again
  EXPECT_TRUE(third.Active());
}

TEST_F(LocalServerTest, OtherBindFailuresKeepTheTextAndTellTheCause) {
  const struct {
    TBinding binding;
    int code;
  } cases[] = {
      {{"192.0.2.1", 0}, EADDRNOTAVAIL},  // not an address of this machine
      {{"127.0.0.1", 70000}, EINVAL},
      {{"127.0.0.1", -1}, EINVAL},
  };
  for (const auto& c : cases) {
    LocalServer failing;
    failing.Bindings = {c.binding};
    EXPECT_EQ(BindFailureCode(failing), c.code) << c.binding.IP << ":" << c.binding.Port;
  }

  // A failing binding releases the ones bound before it.
  const uint16_t port = FreePort();
  LocalServer twoBindings;
  twoBindings.Bindings = {{"127.0.0.1", port}, {"192.0.2.1", 0}};
  EXPECT_EQ(BindFailureCode(twoBindings), EADDRNOTAVAIL);
  os::TcpListener after;
  EXPECT_NO_THROW(after.Listen("127.0.0.1", port, 1));
}

TEST_F(LocalServerTest, PrivilegedPortNeedsPrivileges) {
  int unprivilegedStart = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> unprivilegedStart;
  if (geteuid() == 0 || unprivilegedStart <= 25) GTEST_SKIP() << "this process may bind port 25";
  LocalServer privileged;
  privileged.Bindings = {{"127.0.0.1", 25}};
  EXPECT_EQ(BindFailureCode(privileged), EACCES);
}

TEST_F(LocalServerTest, RestartsOnTheSamePortAfterServingMail) {
  Start();
  const uint16_t port = Port();
  server.SetActive(true);  // no change
  EXPECT_EQ(Port(), port);
  for (int round = 0; round < 2; ++round) {
    {
      auto client = Greeted();
      OpenTransaction(*client);
      client->SendRaw("DATA\r\nSubject: r\r\n\r\nbody\r\n.\r\nQUIT\r\n");
      EXPECT_EQ(client->ReadRawLines(3),
                "354 Start mail input; end with <CRLF>.<CRLF>\r\n250 Ok\r\n221 Signing Off\r\n");
      EXPECT_TRUE(client->ClosedWithoutReply());  // the server closed first: its side waits in TIME_WAIT
    }
    server.SetActive(false);
    EXPECT_FALSE(CanConnect(port));
    server.Bindings = {{"127.0.0.1", port}};
    ASSERT_NO_THROW(server.SetActive(true)) << "round " << round;
    EXPECT_EQ(Port(), port);
  }
  EXPECT_EQ(recorder->Count(), 2u);
}

TEST_F(LocalServerTest, DefaultBindingIsEveryAddressOnTheDefaultPort) {
  server.Bindings.clear();
  server.DefaultPort = 0;
  Start();
  ASSERT_EQ(server.Bindings.size(), 1u);
  EXPECT_EQ(server.Bindings[0].IP, "");
  EXPECT_EQ(server.Bindings[0].Port, 0);
  EXPECT_NE(Port(), 0);
  auto client = Greeted();
  EXPECT_EQ(client->Command("NOOP"), "250 Ok\r\n");
}

TEST_F(LocalServerTest, ThreadCountRisesPerConnectionAndReturns) {
  Start();
  std::vector<std::unique_ptr<SmtpWireClient>> clients;
  for (int i = 1; i <= 5; ++i) {
    clients.push_back(Greeted());
    EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == i; }))
        << server.ThreadCount() << " for " << i;
    EXPECT_EQ(SmtpConnectionThread::LiveCount(), i);
  }
  int listed = 0;
  server.ForEachActiveThread([&](SmtpConnectionThread& thread) {
    ++listed;
    EXPECT_EQ(thread.PeerEndpoint().ip, "127.0.0.1");
    EXPECT_FALSE(thread.Terminated());
  });
  EXPECT_EQ(listed, 5);
  clients[1]->Send("QUIT");
  clients[3]->Close();
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 3; }));
  clients.clear();
  EXPECT_TRUE(
      Eventually([&] { return server.ThreadCount() == 0 && SmtpConnectionThread::LiveCount() == 0; }));
  listed = 0;
  server.ForEachActiveThread([&](SmtpConnectionThread&) { ++listed; });
  EXPECT_EQ(listed, 0);
}

TEST_F(LocalServerTest, SilentConnectionDelaysNobody) {
  Start();
  SmtpWireClient silent(Port());  // never reads, never sends
  SmtpWireClient halfLine(Port());
  halfLine.SendRaw("HELO without an end");
  const auto took = TimeOf([&] {
    auto client = Greeted();
    OpenTransaction(*client);
    client->SendRaw("DATA\r\n.\r\n");
    EXPECT_EQ(client->ReadRawLines(2), "354 Start mail input; end with <CRLF>.<CRLF>\r\n250 Ok\r\n");
  });
  EXPECT_LT(took, 1000ms);
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 2; }));
  EXPECT_EQ(halfLine.ReadRawLine(), kGreeting);
  EXPECT_TRUE(halfLine.StaysSilent(200));  // no idle time limit either
}

TEST_F(LocalServerTest, DeactivationClosesIdleConnectionsAtOnce) {
  Start();
  const uint16_t port = Port();
  auto idle = Greeted();
  auto inTransaction = Greeted();
  OpenTransaction(*inTransaction);
  auto inText = Greeted();
  OpenTransaction(*inText);
  inText->SendRaw("DATA\r\nSubject: unfinished\r\n");
  ASSERT_EQ(inText->ReadRawLine(), "354 Start mail input; end with <CRLF>.<CRLF>\r\n");
  ASSERT_TRUE(Eventually([&] { return server.ThreadCount() == 3; }));

  EXPECT_LT(TimeOf([&] { server.SetActive(false); }), 1000ms);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.ThreadCount(), 0);
  for (auto* client : {idle.get(), inTransaction.get(), inText.get()})
    EXPECT_TRUE(client->ClosedWithoutReply());
  EXPECT_FALSE(CanConnect(port));
  EXPECT_EQ(recorder->Count(), 0u);
}

TEST_F(LocalServerTest, DeactivationGivesUpOnABusyHandlerAfterAboutFiveSeconds) {
  recorder->Set(MailRecorder::Behaviour::HoldUntilReleased);
  Start();
  auto client = Greeted();
  OpenTransaction(*client);
  client->SendRaw("DATA\r\nSubject: slow\r\n\r\nbody\r\n.\r\n");
  ASSERT_EQ(client->ReadRawLine(), "354 Start mail input; end with <CRLF>.<CRLF>\r\n");
  ASSERT_TRUE(Eventually([&] { return recorder->Holding() == 1; }));

  const auto took = TimeOf([&] { server.SetActive(false); });
  EXPECT_GE(took, 4500ms);
  EXPECT_LE(took, 6500ms);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.ThreadCount(), 1);  // still delivering
  EXPECT_TRUE(client->ClosedWithoutReply(1000));

  recorder->Release();  // the delivery ends; its reply finds the socket closed
  EXPECT_TRUE(
      Eventually([&] { return server.ThreadCount() == 0 && SmtpConnectionThread::LiveCount() == 0; }));
}

TEST_F(LocalServerTest, BusyThreadsOutliveTheListener) {
  auto listener = std::make_unique<LocalServer>();
  listener->Bindings = {{"127.0.0.1", 0}};
  listener->TerminateWaitTime = 250;
  listener->Greeting = server.Greeting;
  listener->OnReceiveMessage = [recorder = recorder](SmtpConnectionThread& sender, TIdMessage& msg,
                                                     TIdEMailAddressList& rcpt, std::string& customError) {
    recorder->Receive(sender, msg, rcpt, customError);
  };
  recorder->Set(MailRecorder::Behaviour::HoldUntilReleased);
  listener->SetActive(true);
  std::vector<std::unique_ptr<SmtpWireClient>> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(std::make_unique<SmtpWireClient>(listener->BoundPort()));
    ASSERT_EQ(clients.back()->ReadRawLine(), kGreeting);
    OpenTransaction(*clients.back());
    clients.back()->SendRaw("DATA\r\n.\r\n");
  }
  ASSERT_TRUE(Eventually([&] { return recorder->Holding() == 3; }));
  listener.reset();  // deactivates, waits 250 ms, and goes
  EXPECT_EQ(SmtpConnectionThread::LiveCount(), 3);
  recorder->Release();
  EXPECT_TRUE(Eventually([] { return SmtpConnectionThread::LiveCount() == 0; }));
}

namespace {

// What a connection thread subclass saw of its own life.
struct Trace {
  std::mutex lock;
  std::thread::id constructedOn, destroyedOn;
  int terminateCalls = 0;
  bool terminatedBeforeDestruction = false;
};

class TracedThread : public SmtpConnectionThread {
 public:
  TracedThread(std::unique_ptr<os::TcpStream> connection, std::shared_ptr<Trace> trace)
      : SmtpConnectionThread(std::move(connection)), trace_(std::move(trace)) {
    std::lock_guard guard(trace_->lock);
    trace_->constructedOn = std::this_thread::get_id();
  }
  ~TracedThread() override {
    std::lock_guard guard(trace_->lock);
    trace_->destroyedOn = std::this_thread::get_id();
    trace_->terminatedBeforeDestruction = Terminated();
  }
  void Terminate() override {
    {
      std::lock_guard guard(trace_->lock);
      ++trace_->terminateCalls;
    }
    SmtpConnectionThread::Terminate();
  }

 private:
  std::shared_ptr<Trace> trace_;
};

}  // namespace

TEST_F(LocalServerTest, ThreadClassRunsEachConnectionAndIsTerminatedOnItsOwnThread) {
  auto trace = std::make_shared<Trace>();
  server.ThreadClass = [trace](std::unique_ptr<os::TcpStream> connection) {
    return std::make_unique<TracedThread>(std::move(connection), trace);
  };
  Start();
  {
    auto client = Greeted();
    EXPECT_EQ(client->Command("QUIT"), "221 Signing Off\r\n");
  }
  ASSERT_TRUE(Eventually([] { return SmtpConnectionThread::LiveCount() == 0; }));
  std::lock_guard guard(trace->lock);
  EXPECT_EQ(trace->terminateCalls, 1);
  EXPECT_TRUE(trace->terminatedBeforeDestruction);
  EXPECT_NE(trace->constructedOn, std::thread::id());
  EXPECT_NE(trace->constructedOn, std::this_thread::get_id());  // the acceptor
  EXPECT_NE(trace->destroyedOn, trace->constructedOn);          // the connection's own thread
}

TEST_F(LocalServerTest, ListenerChoicesThisSystemLeavesUnset) {
  // A reply code for failures, and a connection limit.
  server.ReplyExceptionCode = 451;
  server.MaxConnections = 1;
  recorder->Set(MailRecorder::Behaviour::Throw);
  Start();
  auto first = Greeted();
  ASSERT_TRUE(Eventually([&] { return server.ThreadCount() == 1; }));
  SmtpWireClient second(Port());
  EXPECT_EQ(second.ReadRawLine(), "421 Too many connections, try again later\r\n");
  EXPECT_TRUE(second.ClosedWithoutReply());
  OpenTransaction(*first);
  first->SendRaw("DATA\r\n.\r\n");
  EXPECT_EQ(first->ReadRawLines(2),
            "354 Start mail input; end with <CRLF>.<CRLF>\r\n451 delivery failed\r\n");
  EXPECT_TRUE(first->ClosedWithoutReply());
}

TEST_F(LocalServerTest, AcceptorSurvivesAThreadClassThatThrows) {
  std::atomic<int> made{0};
  server.ThreadClass =
      [&](std::unique_ptr<os::TcpStream> connection) -> std::unique_ptr<SmtpConnectionThread> {
    if (made++ == 0) throw std::runtime_error("out of threads");
    return std::make_unique<SmtpConnectionThread>(std::move(connection));
  };
  Start();
  SmtpWireClient lost(Port());
  EXPECT_TRUE(lost.ClosedWithoutReply());
  auto served = Greeted();
  EXPECT_EQ(served->Command("NOOP"), "250 Ok\r\n");
}
