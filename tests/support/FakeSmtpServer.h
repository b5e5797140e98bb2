// A scriptable SMTP peer on a loopback address for tests and benchmarks: it
// plays a remote mail exchanger, records what each session said and each
// message it took, and can play the faults real exchangers show (refusals,
// odd greetings and EHLO replies, closing, resetting, silence, slowness,
// endless replies and replies that trickle in a byte at a time).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Fd.h"
#include "platform/TcpListener.h"
#include "platform/TcpStream.h"
#include "support/FakeSmtpTls.h"

namespace testing_support {

// What the fake does for one command (or, for "CONNECT", for the greeting).
struct FakeSmtpRule {
  enum Action {
    Reply,           // send the reply lines
    Close,           // close the connection without a reply
    Silent,          // never answer again in this session (the peer's read times out)
    ReplyThenClose,  // send the reply lines, then close the connection
    Reset,           // drop the connection with a TCP reset, no reply
    ReplyThenReset,  // send the reply lines, then drop the connection with a reset
  };
  // "CONNECT", "EHLO", "HELO", "MAIL", "RCPT", "DATA", "." (end of the
  // message text), "RSET", "QUIT", ...
  std::string verb;
  // When not empty, the rule applies only to command lines containing it
  // (case ignored), e.g. one recipient address.
  std::string argument;
  Action action = Reply;
  // Whole reply lines, e.g. {"250-fake.test", "250 SIZE 1000"}.
  std::vector<std::string> reply;
  std::chrono::milliseconds delay{0};  // before the reply
  // A hostile exchanger: this many "CODE-flood" lines go out before the reply
  // lines (the code taken from the first reply line).
  int floodLines = 0;
  // A hostile exchanger: the reply goes out one byte at a time with this
  // pause before each byte.
  std::chrono::milliseconds byteInterval{0};

  static FakeSmtpRule Answer(std::string verb, std::vector<std::string> reply, std::string argument = "") {
    return {std::move(verb), std::move(argument), Reply, std::move(reply), {}};
  }
  static FakeSmtpRule AnswerThenClose(std::string verb, std::vector<std::string> reply) {
    return {std::move(verb), "", ReplyThenClose, std::move(reply), {}};
  }
  static FakeSmtpRule AnswerThenReset(std::string verb, std::vector<std::string> reply) {
    return {std::move(verb), "", ReplyThenReset, std::move(reply), {}};
  }
  static FakeSmtpRule ResetOn(std::string verb) { return {std::move(verb), "", Reset, {}, {}}; }
  static FakeSmtpRule Flood(std::string verb, int lines, std::vector<std::string> reply) {
    FakeSmtpRule rule = Answer(std::move(verb), std::move(reply));
    rule.floodLines = lines;
    return rule;
  }
  static FakeSmtpRule Trickle(std::string verb, std::chrono::milliseconds interval,
                              std::vector<std::string> reply) {
    FakeSmtpRule rule = Answer(std::move(verb), std::move(reply));
    rule.byteInterval = interval;
    return rule;
  }
  static FakeSmtpRule CloseOn(std::string verb) { return {std::move(verb), "", Close, {}, {}}; }
  static FakeSmtpRule SilentOn(std::string verb) { return {std::move(verb), "", Silent, {}, {}}; }
};

// Counts what is going on at once, and the most there ever was, over one
// or more fakes.
class ConcurrencyGauge {
 public:
  void Enter();
  void Leave();
  int Now() const { return now_; }
  int Most() const { return most_; }

 private:
  std::atomic<int> now_{0};
  std::atomic<int> most_{0};
};

struct FakeSmtpScript {
  // The first rule that matches a command decides; without one the fake
  // behaves as a well-mannered exchanger that accepts everything.
  std::vector<FakeSmtpRule> rules;
  std::chrono::milliseconds replyDelay{0};  // before every reply
  // Off for load runs: sessions and messages are only counted.
  bool record = true;
  // When set, EHLO offers STARTTLS and the fake serves it with this context
  // (FakeExchangerTls() has a certificate for the loopback exchangers).
  std::shared_ptr<const os::TlsContext> tls = nullptr;
  FakeTlsFault tlsFault = FakeTlsFault::None;  // how the handshake goes
  // The EHLO reply names PIPELINING (RFC 2920).
  bool pipelining = false;
  // Also counts this fake's open mail transactions, with other fakes'.
  std::shared_ptr<ConcurrencyGauge> sharedTransactions = {};
};

// A script that offers STARTTLS with the certificate made for the loopback
// exchangers, its handshake played as fault says.
FakeSmtpScript OfferingTls(std::vector<FakeSmtpRule> rules = {}, FakeTlsFault fault = FakeTlsFault::None);

struct FakeSmtpMessage {
  int session = 0;                     // index into Sessions()
  std::string mailFrom;                // the address inside MAIL FROM:<...>
  std::vector<std::string> rcptTo;     // accepted RCPT TO addresses
  std::vector<std::string> wireLines;  // text lines as they came (dot-stuffed)
  std::vector<std::string> lines;      // text lines with the stuffing removed
  bool overTls = false;                // arrived on an encrypted connection

  std::vector<std::string> HeaderLines() const;  // lines before the first empty one
  std::vector<std::string> BodyLines() const;    // lines after it
};

struct FakeSmtpSession {
  std::string peerIp;
  // Every line the peer sent outside message text; "." marks the end of a text.
  std::vector<std::string> commands;
  bool tls = false;  // TLS was started
  // Commands that were already there when the one before them was
  // answered: the peer did not wait for the reply (pipelining).
  int commandsAhead = 0;
  bool ended = false;  // the connection is over
};

class FakeSmtpServer {
 public:
  // Listens on ip (a 127.0.0.x address) and port, an ephemeral one when 0.
  // Several fake exchangers share one port on different addresses, as real
  // ones share port 25.
  explicit FakeSmtpServer(const std::string& ip = "127.0.0.1", FakeSmtpScript script = {}, uint16_t port = 0);
  ~FakeSmtpServer();
  FakeSmtpServer(const FakeSmtpServer&) = delete;
  FakeSmtpServer& operator=(const FakeSmtpServer&) = delete;

  const std::string& Ip() const { return ip_; }
  uint16_t Port() const { return port_; }

  // Applies to sessions that start afterwards.
  void SetScript(FakeSmtpScript script);

  std::vector<FakeSmtpSession> Sessions() const;
  std::vector<FakeSmtpMessage> Messages() const;  // taken messages in order
  int SessionCount() const { return sessionCount_; }
  int MessageCount() const { return messageCount_; }
  int EndedSessionCount() const { return endedCount_; }
  // Mail transactions open at once (from MAIL to the reply to the end of
  // the text), now and at most.
  const ConcurrencyGauge& Transactions() const { return transactions_; }

  // Ends every session and stops listening; the destructor does it too.
  void Stop();

 private:
  struct Connection {
    std::unique_ptr<os::TcpStream> stream;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  class Session;

  void AcceptLoop();
  void ReapFinished();
  // Sleeps, but wakes at once when the server stops; false when stopping.
  bool Pause(std::chrono::milliseconds delay);

  std::string ip_;
  uint16_t port_ = 0;
  os::TcpListener listener_;
  std::thread acceptor_;
  std::atomic<bool> stopping_{false};

  mutable std::mutex scriptLock_;
  FakeSmtpScript script_;

  std::mutex connectionsLock_;
  std::list<std::unique_ptr<Connection>> connections_;

  mutable std::mutex recordLock_;
  std::vector<FakeSmtpSession> sessions_;
  std::vector<FakeSmtpMessage> messages_;
  std::atomic<int> sessionCount_{0};
  std::atomic<int> messageCount_{0};
  std::atomic<int> endedCount_{0};
  ConcurrencyGauge transactions_;

  std::mutex pauseLock_;
  std::condition_variable pauseWake_;
};

// A listener whose accept queue is full, so a new connection to it is never
// established: a connect time-out that stays on the loopback network.
class BacklogFullListener {
 public:
  explicit BacklogFullListener(const std::string& ip = "127.0.0.1");
  uint16_t Port() const { return listener_.Port(); }

 private:
  os::TcpListener listener_;
  std::vector<os::Fd> fillers_;
};

}  // namespace testing_support
