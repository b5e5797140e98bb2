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
        if (!Handle(line)) return;
      }
    } catch (const EFailure&) {
      // The peer went away, or the server is stopping.
    }
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
      }
      return true;
    }
    if (verb == "RCPT") {
      if (!Respond(verb, line, {"250 OK"})) return false;
      if (code_[0] == '2') message_.rcptTo.push_back(AddressOf(line));
      return true;
    }
    if (verb == "DATA") {
      if (!Respond(verb, line, {"354 Send the text, end with ."})) return false;
      return code_[0] == '3' ? ReceiveText() : true;
    }
    return Respond(verb, line, {"500 Command not recognized"});
  }

  std::vector<std::string> EhloReply() const {
    if (script_.tls && !tls_) return {"250-fake.test", "250 STARTTLS"};
    return {"250 fake.test"};
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
    return goOn;
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
    bool closeAfter = false;
    for (const auto& rule : script_.rules) {
      if (Upper(rule.verb) != verb || (!rule.argument.empty() && !ContainsNoCase(line, rule.argument)))
        continue;
      if (rule.action == FakeSmtpRule::Close) return false;
      if (rule.action == FakeSmtpRule::Silent) {
        StaySilent();
        return false;
      }
      reply = rule.reply;
      delay += rule.delay;
      closeAfter = rule.action == FakeSmtpRule::ReplyThenClose;
      break;
    }
    code_ = reply.empty() ? "000" : reply.front().substr(0, 3) + "000";
    if (accepted && code_[0] == '2') accepted();
    if (!server_.Pause(delay)) return false;
    for (const auto& text : reply) {
      stream_.Write(text);
      stream_.Write("\r\n");
    }
    stream_.Flush(5000);
    return !closeAfter;
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

  FakeSmtpServer& server_;
  os::TcpStream& stream_;
  const FakeSmtpScript script_;
  const int index_;
  std::string code_ = "000";
  FakeSmtpMessage message_;
  bool tls_ = false;  // STARTTLS done on this connection
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
        sessions_.push_back({stream->PeerAddress().ip, {}, false, false});
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
