// Many connections at once: parallel dialogs that must not mix their
// envelopes, threads coming and going while the controller walks the live
// list, and deactivation in the middle of all of it. Loads are bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "intake/LocalServer.h"
#include "support/ListenerFixture.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using testing_support::Eventually;
using testing_support::ListenerFixture;
using testing_support::MailRecorder;
using testing_support::SmtpWireClient;

namespace {

const std::string kStartData = "354 Start mail input; end with <CRLF>.<CRLF>\r\n";

// Failures seen on client threads, reported on the test's thread.
class Problems {
 public:
  void Check(bool ok, const std::string& what) {
    if (ok) return;
    std::lock_guard guard(lock_);
    list_.push_back(what);
  }
  std::string Text() {
    std::lock_guard guard(lock_);
    std::string text;
    for (const auto& p : list_) text += p + "\n";
    return text;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> list_;
};

}  // namespace

class LocalServerConcurrency : public ListenerFixture {};

TEST_F(LocalServerConcurrency, ParallelDialogsKeepTheirOwnEnvelopes) {
  constexpr int kClients = 16;
  constexpr int kMessages = 3;
  Start();
  Problems problems;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      try {
        SmtpWireClient client(Port());
        problems.Check(client.ReadRawLine() == kGreeting, "greeting");
        problems.Check(
            client.Command("HELO c" + std::to_string(c)) == "250 Hello c" + std::to_string(c) + "\r\n",
            "helo");
        for (int m = 0; m < kMessages; ++m) {
          const std::string rcpt = "r" + std::to_string(c) + "@example.org";
          client.SendRaw("MAIL FROM:<s" + std::to_string(c) + "@example.com>\r\nRCPT TO:<" + rcpt +
                         ">\r\nDATA\r\nSubject: " + std::to_string(c) + "/" + std::to_string(m) +
                         "\r\n\r\n..line\r\n.\r\n");
          const std::string want = "250 s" + std::to_string(c) + "@example.com Address Okay\r\n250 " + rcpt +
                                   " Address Okay\r\n" + kStartData + "250 Ok\r\n";
          const std::string got = client.ReadRawLines(4);
          problems.Check(got == want, "client " + std::to_string(c) + " got " + got);
        }
        problems.Check(client.Command("QUIT") == "221 Signing Off\r\n", "quit");
      } catch (const std::exception& e) {
        problems.Check(false, std::string("client failed: ") + e.what());
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(problems.Text(), "");

  const auto mails = recorder->Mails();
  ASSERT_EQ(mails.size(), static_cast<std::size_t>(kClients * kMessages));
  std::map<std::string, int> perSubject;
  for (const auto& mail : mails) {
    ASSERT_EQ(mail.Headers.size(), 1u);
    const std::string client = mail.Headers[0].substr(9, mail.Headers[0].find('/') - 9);
    ++perSubject[mail.Headers[0]];
    EXPECT_EQ(mail.Recipients, std::vector<std::string>{"r" + client + "@example.org"}) << mail.Headers[0];
    EXPECT_EQ(mail.EnvelopeFrom, "s" + client + "@example.com") << mail.Headers[0];
    EXPECT_EQ(mail.Body, std::vector<std::string>{".line"});
  }
  EXPECT_EQ(perSubject.size(), static_cast<std::size_t>(kClients * kMessages));
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
}

TEST_F(LocalServerConcurrency, ThreadsComeAndGoWhileTheLiveListIsWalked) {
  constexpr int kClients = 8;
  constexpr int kRounds = 15;
  Start();
  std::atomic<bool> done{false};
  std::atomic<int> walks{0};
  std::atomic<int> seen{0};
  std::thread walker([&] {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done && std::chrono::steady_clock::now() < deadline) {
      // What the controller touches at exit, from another thread.
      server.ForEachActiveThread([&](SmtpConnectionThread& thread) {
        if (!thread.PeerEndpoint().ip.empty() && !thread.Terminated()) ++seen;
      });
      ++walks;
      std::this_thread::sleep_for(1ms);
    }
  });
  Problems problems;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      for (int r = 0; r < kRounds; ++r) {
        try {
          SmtpWireClient client(Port());
          problems.Check(client.ReadRawLine() == kGreeting, "greeting");
          switch ((c + r) % 4) {
            case 0:
              problems.Check(client.Command("QUIT") == "221 Signing Off\r\n", "quit");
              break;
            case 1:
              break;  // just hang up
            case 2:
              client.SendRaw("HELO x\r\nMAIL FROM:<a@b.c>\r\nRCPT TO:<d@e.f>\r\nDATA\r\nSubject: cut");
              problems.Check(client.ReadRawLines(4).size() > 0, "dialog");
              break;  // hang up in the middle of the text
            case 3:
              client.SendRaw("HELO x\r\nMAIL FROM:<a@b.c>\r\nRCPT TO:<d@e.f>\r\nDATA\r\n.\r\n");
              problems.Check(client.ReadRawLines(5).substr(0, 4) == "250 ", "message");
              break;
          }
        } catch (const std::exception& e) {
          problems.Check(false, std::string("client failed: ") + e.what());
        }
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
  done = true;
  walker.join();
  EXPECT_EQ(problems.Text(), "");
  EXPECT_GT(walks.load(), 0);
  EXPECT_GT(seen.load(), 0) << "the walker never met a live connection";
}

TEST_F(LocalServerConcurrency, DeactivationInTheMiddleOfEverything) {
  constexpr int kEach = 4;
  server.TerminateWaitTime = 1000;
  recorder->Set(MailRecorder::Behaviour::HoldUntilReleased);
  Start();

  std::vector<std::unique_ptr<SmtpWireClient>> held, idle;
  for (int i = 0; i < kEach; ++i) {
    held.push_back(Greeted());
    OpenTransaction(*held.back());
    held.back()->SendRaw("DATA\r\nSubject: held\r\n\r\n.\r\n");
    idle.push_back(Greeted());
  }
  // Clients that keep the server busy with commands until it goes away.
  std::atomic<int> chattering{0};
  std::vector<std::thread> chatty;
  for (int i = 0; i < kEach; ++i) {
    chatty.emplace_back([&] {
      SmtpWireClient client(Port());
      client.ReadRawLine();
      ++chattering;
      for (int n = 0; n < 20000; ++n) {
        if (client.Command("NOOP") != "250 Ok\r\n") return;
      }
    });
  }
  ASSERT_TRUE(Eventually([&] { return recorder->Holding() == kEach && chattering == kEach; }));

  std::atomic<bool> walking{true};
  std::thread walker([&] {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (walking && std::chrono::steady_clock::now() < deadline) {
      server.ForEachActiveThread([](SmtpConnectionThread& thread) { (void)thread.Terminated(); });
    }
  });
  const auto start = std::chrono::steady_clock::now();
  server.SetActive(false);
  const auto took = std::chrono::steady_clock::now() - start;
  walking = false;
  walker.join();
  for (auto& t : chatty) t.join();  // each saw its connection end

  EXPECT_GE(took, 900ms);  // waited for the held deliveries
  EXPECT_LT(took, 2500ms);
  EXPECT_EQ(server.ThreadCount(), kEach);  // only the held ones are left
  for (auto& client : idle) EXPECT_TRUE(client->ClosedWithoutReply(1000));
  recorder->Release();
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
}
