#include "support/FakeSmtpServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace testing_support {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
  return Upper(text).find(Upper(part)) != std::string::npos;
}

// The command word: up to the first blank or ":" ("MAIL FROM:<a@b>" gives MAIL).
std::string VerbOf(const std::string& line) {
  if (line == ".") return line;
  return Upper(line.substr(0, line.find_first_of(" :")));
}

// The address of "MAIL FROM:<a@b>" or "RCPT TO:<a@b>".
std::string AddressOf(const std::string& line) {
  const std::size_t open = line.find('<');
  if (open != std::string::npos) {
    const std::size_t close = line.find('>', open);
    return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  }
  const std::size_t colon = line.find(':');
  std::string rest = colon == std::string::npos ? std::string() : line.substr(colon + 1);
  rest.erase(0, rest.find_first_not_of(' '));
  return rest;
}

}  // namespace

std::vector<std::string> FakeSmtpMessage::HeaderLines() const {
  auto blank = std::find(lines.begin(), lines.end(), std::string());
  return {lines.begin(), blank};
}

std::vector<std::string> FakeSmtpMessage::BodyLines() const {
  auto blank = std::find(lines.begin(), lines.end(), std::string());
  if (blank == lines.end()) return {};
  return {blank + 1, lines.end()};
}

void ConcurrencyGauge::Enter() {
  const int now = ++now_;
  for (int most = most_; now > most && !most_.compare_exchange_weak(most, now);) {
  }
}

void ConcurrencyGauge::Leave() { --now_; }

// One connection: the server side of the dialog as the script says.
class FakeSmtpServer::Session {
 public:
  Session(FakeSmtpServer& server, os::TcpStream& stream, FakeSmtpScript script, int index)
      : server_(server), stream_(stream), script_(std::move(script)), index_(index) {}

  void Run() {
    try {
      if (!Respond("CONNECT", "", {"220 fake.test ESMTP ready"})) return;
      for (;;) {
        const std::string line = stream_.ReadLine();
        Record(line);
        if (stream_.HasBufferedLine()) RecordCommandAhead();
        if (!Handle(line)) break;
      }
    } catch (const EFailure&) {
      // The peer went away, or the server is stopping.
    }
    EndTransaction();
  }

 private:
  // Serves one command line; false when the session is over.
  bool Handle(const std::string& line) {
    const std::string verb = VerbOf(line);
    if (verb == "EHLO") return Envelope(Respond(verb, line, EhloReply()));
    if (verb == "HELO") return Envelope(Respond(verb, line, {"250 fake.test"}));
    if (verb == "STARTTLS") return StartTls(line);
    if (verb == "RSET" || verb == "NOOP") return Envelope(Respond(verb, line, {"250 OK"}));
    if (verb == "QUIT") {
      Respond(verb, line, {"221 fake.test closing"});
      return false;
    }
    if (verb == "MAIL") {
      if (!Respond(verb, line, {"250 OK"})) return false;
      if (code_[0] == '2') {
        message_ = FakeSmtpMessage{};
        message_.session = index_;
        message_.mailFrom = AddressOf(line);
        BeginTransaction();
      }
      return true;
    }
    if (verb == "RCPT") {
      const std::vector<std::string> reply = inTransaction_ ? std::vector<std::string>{"250 OK"}
                                                            : std::vector<std::string>{"503 Need MAIL first"};
      if (!Respond(verb, line, reply)) return false;
      if (code_[0] == '2') message_.rcptTo.push_back(AddressOf(line));
      return true;
    }
    if (verb == "DATA") {
      // As RFC 2920 asks of a server: no text without a recipient taken.
      const std::vector<std::string> reply = message_.rcptTo.empty()
                                                 ? std::vector<std::string>{"554 No valid recipients"}
                                                 : std::vector<std::string>{"354 Send the text, end with ."};
      if (!Respond(verb, line, reply)) return false;
      return code_[0] == '3' ? ReceiveText() : true;
    }
    return Respond(verb, line, {"500 Command not recognized"});
  }

  std::vector<std::string> EhloReply() const {
    std::vector<std::string> reply{"250 fake.test"};
    if (script_.pipelining) reply.push_back("250 PIPELINING");
    if (script_.tls && !tls_) reply.push_back("250 STARTTLS");
    // Every line but the last continues the reply.
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) reply[i][3] = '-';
    return reply;
  }

  bool StartTls(const std::string& line) {
    if (!script_.tls || tls_) return Respond("STARTTLS", line, {"502 Not offered"});
    if (!Respond("STARTTLS", line, {"220 Go ahead"})) return false;
    if (code_[0] != '2') return true;
    if (!ServeTlsHandshake(stream_, script_.tls, script_.tlsFault)) return false;
    tls_ = true;
    message_ = FakeSmtpMessage{};
    if (script_.record) {
      std::lock_guard lock(server_.recordLock_);
      server_.sessions_[index_].tls = true;
    }
    return true;
  }

  bool Envelope(bool goOn) {
    message_ = FakeSmtpMessage{};
    EndTransaction();
    return goOn;
  }

  void BeginTransaction() {
    if (inTransaction_) return;
    inTransaction_ = true;
    server_.transactions_.Enter();
    if (script_.sharedTransactions) script_.sharedTransactions->Enter();
  }

  // Just before the reply to the end of the text goes out, so the peer
  // cannot start another transaction that overlaps this one in the count.
  void EndTransaction() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    server_.transactions_.Leave();
    if (script_.sharedTransactions) script_.sharedTransactions->Leave();
  }

  bool ReceiveText() {
    for (;;) {
      std::string line = stream_.ReadLine();
      if (line == ".") break;
      if (script_.record) {
        message_.wireLines.push_back(line);
        message_.lines.push_back(!line.empty() && line[0] == '.' ? line.substr(1) : line);
      }
    }
    Record(".");
    message_.overTls = tls_;
    // The message is on record before the peer hears that it was taken.
    const bool goOn = Respond(".", ".", {"250 OK queued"}, [this] {
      ++server_.messageCount_;
      if (!script_.record) return;
      std::lock_guard lock(server_.recordLock_);
      server_.messages_.push_back(std::move(message_));
    });
    message_ = FakeSmtpMessage{};
    return goOn;
  }

  // Sends the rule's reply (or the default one); false when the rule closes
  // the connection or falls silent. code_ holds the code sent; accepted runs
  // before a positive reply is sent.
  bool Respond(const std::string& verb, const std::string& line, std::vector<std::string> reply,
               const std::function<void()>& accepted = {}) {
    std::chrono::milliseconds delay = script_.replyDelay;
    const FakeSmtpRule* chosen = nullptr;
    for (const auto& rule : script_.rules) {
      if (Upper(rule.verb) != verb || (!rule.argument.empty() && !ContainsNoCase(line, rule.argument)))
        continue;
      chosen = &rule;
      break;
    }
    const auto action = chosen ? chosen->action : FakeSmtpRule::Reply;
    if (action == FakeSmtpRule::Close) return false;
    if (action == FakeSmtpRule::Reset) return ResetConnection();
    if (action == FakeSmtpRule::Silent) {
      StaySilent();
      return false;
    }
    if (chosen) {
      reply = chosen->reply;
      delay += chosen->delay;
    }
    code_ = reply.empty() ? "000" : reply.front().substr(0, 3) + "000";
    if (accepted && code_[0] == '2') accepted();
    if (!server_.Pause(delay)) return false;
    if (verb == ".") EndTransaction();
    if (chosen && chosen->floodLines > 0 && !Flood(code_.substr(0, 3), chosen->floodLines)) return false;
    std::string wire;
    for (const auto& text : reply) wire += text + "\r\n";
    if (chosen && chosen->byteInterval.count() > 0) {
      if (!Trickle(wire, chosen->byteInterval)) return false;
    } else {
      stream_.Write(wire);
      stream_.Flush(5000);
    }
    if (action == FakeSmtpRule::ReplyThenReset) return ResetConnection();
    return action != FakeSmtpRule::ReplyThenClose;
  }

  // Continuation lines in bulk, as long as the peer takes them and at most
  // `lines` of them; false when the peer went away or the server stops.
  bool Flood(const std::string& code, int lines) {
    const std::string one = code + "-flood flood flood flood flood flood flood flood\r\n";
    std::string batch;
    for (int i = 0; i < 1000; ++i) batch += one;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int sent = 0; sent < lines; sent += 1000) {
      if (server_.stopping_ || std::chrono::steady_clock::now() > until) return false;
      stream_.Write(lines - sent >= 1000 ? batch : batch.substr(0, one.size() * (lines - sent)));
      stream_.Flush(2000);
    }
    return true;
  }

  // One byte at a time with a pause before each.
  bool Trickle(const std::string& wire, std::chrono::milliseconds interval) {
    for (char c : wire) {
      if (!server_.Pause(interval)) return false;
      stream_.Write(std::string_view(&c, 1));
      stream_.Flush(2000);
    }
    return true;
  }

  // Ends the session so that closing the socket sends a TCP reset instead of
  // an orderly close.
  bool ResetConnection() {
    linger hard{1, 0};
    setsockopt(stream_.NativeHandle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    return false;
  }

  // Reads and records until the peer goes; answers nothing.
  void StaySilent() {
    for (;;) Record(stream_.ReadLine());
  }

  void Record(const std::string& command) {
    if (!script_.record) return;
    std::lock_guard lock(server_.recordLock_);
    server_.sessions_[index_].commands.push_back(command);
  }

  void RecordCommandAhead() {
    if (!script_.record) return;
    std::lock_guard lock(server_.recordLock_);
    ++server_.sessions_[index_].commandsAhead;
  }

  FakeSmtpServer& server_;
  os::TcpStream& stream_;
  const FakeSmtpScript script_;
  const int index_;
  std::string code_ = "000";
  FakeSmtpMessage message_;
  bool tls_ = false;  // STARTTLS done on this connection
  bool inTransaction_ = false;
};

FakeSmtpServer::FakeSmtpServer(const std::string& ip, FakeSmtpScript script, uint16_t port)
    : ip_(ip), script_(std::move(script)) {
  listener_.Listen(ip_, port, 128);
  port_ = listener_.Port();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeSmtpServer::~FakeSmtpServer() { Stop(); }

void FakeSmtpServer::SetScript(FakeSmtpScript script) {
  std::lock_guard lock(scriptLock_);
  script_ = std::move(script);
}

std::vector<FakeSmtpSession> FakeSmtpServer::Sessions() const {
  std::lock_guard lock(recordLock_);
  return sessions_;
}

std::vector<FakeSmtpMessage> FakeSmtpServer::Messages() const {
  std::lock_guard lock(recordLock_);
  return messages_;
}

void FakeSmtpServer::AcceptLoop() {
  for (;;) {
    std::unique_ptr<os::TcpStream> stream;
    try {
      stream = listener_.Accept();
    } catch (const ESocketError&) {
      if (stopping_) return;
      continue;
    }
    if (!stream) return;
    ReapFinished();

    FakeSmtpScript script;
    {
      std::lock_guard lock(scriptLock_);
      script = script_;
    }
    int index = sessionCount_++;
    {
      std::lock_guard lock(recordLock_);
      if (script.record) {
        index = static_cast<int>(sessions_.size());
        sessions_.push_back({stream->PeerAddress().ip, {}, false, 0, false});
      }
    }
    auto connection = std::make_unique<Connection>();
    connection->stream = std::move(stream);
    Connection* live = connection.get();
    std::lock_guard lock(connectionsLock_);
    connections_.push_back(std::move(connection));
    live->thread = std::thread([this, live, script = std::move(script), index]() mutable {
      const bool record = script.record;
      Session(*this, *live->stream, std::move(script), index).Run();
      live->stream->Close();
      if (record) {
        std::lock_guard lock(recordLock_);
        sessions_[index].ended = true;
      }
      ++endedCount_;
      live->done = true;
    });
  }
}

void FakeSmtpServer::ReapFinished() {
  std::lock_guard lock(connectionsLock_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    if ((*it)->done) {
      (*it)->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

bool FakeSmtpServer::Pause(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) return !stopping_;
  std::unique_lock lock(pauseLock_);
  return !pauseWake_.wait_for(lock, delay, [this] { return stopping_.load(); });
}

void FakeSmtpServer::Stop() {
  {
    std::lock_guard lock(pauseLock_);
    if (stopping_.exchange(true)) return;
  }
  pauseWake_.notify_all();
  listener_.Abort();
  if (acceptor_.joinable()) acceptor_.join();
  std::list<std::unique_ptr<Connection>> connections;
  {
    std::lock_guard lock(connectionsLock_);
    connections.swap(connections_);
  }
  for (auto& connection : connections) connection->stream->Abort();
  for (auto& connection : connections) connection->thread.join();
  listener_.Close();
}

BacklogFullListener::BacklogFullListener(const std::string& ip) {
  listener_.Listen(ip, 0, 0);
  const sockaddr_in address = os::MakeAddress(ip, listener_.Port());
  // Queue connections that nobody accepts until one is no longer answered.
  for (int attempt = 0; attempt < 64; ++attempt) {
    os::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (rc != 0 && errno != EINPROGRESS) throw ESocketError(os::SocketErrorText(errno), errno);
    pollfd entry{fd.get(), POLLOUT, 0};
    const bool established = rc == 0 || ::poll(&entry, 1, 200) > 0;
    fillers_.push_back(std::move(fd));
    if (!established) return;
  }
  throw EFailure("the accept queue of the test listener never filled");
}

}  // namespace testing_support
