#include "delivery/IdSMTP.h"

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <string_view>

#include "delivery/SmtpReplies.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace {

// Above this much queued message text the client sends what it has, so a
// large message never sits in memory twice.
constexpr std::size_t kFlushThreshold = 64 * 1024;

// The numeric reply code, 0 when the code text is not a number.
int ParseCode(std::string code) {
  if (!code.empty() && code.back() == '-') code.pop_back();
  if (code.empty() || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return std::stoi(code);
}

// The address between the angle brackets of MAIL FROM and RCPT TO, as the
// address model renders it: a local part that needs quotes keeps them.
std::string EnvelopeAddress(const std::string& address) {
  TIdEMailAddressItem item;
  item.Address = address;
  std::string text = item.GetText();
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') text = text.substr(1, text.size() - 2);
  return text;
}

// A reset or broken pipe is the peer closing the connection, only less
// politely than with a FIN.
bool PeerDropped(const ESocketError& failure) {
  return failure.Code() == ECONNRESET || failure.Code() == EPIPE || failure.Code() == ECONNABORTED;
}

}  // namespace

void TIdSMTP::Connect(int timeoutMs) {
  const bool tryTls = HostsWithoutTls == nullptr || !HostsWithoutTls->Contains(Host);
  if (OpenSession(timeoutMs, tryTls)) return;
  // Encryption failed with this host: once more without it, as it would
  // have gone had the host never offered it.
  if (HostsWithoutTls != nullptr) HostsWithoutTls->Insert(Host);
  if (aborted_) throw EConnectionClosed();
  OpenSession(timeoutMs, false);
}

bool TIdSMTP::OpenSession(int timeoutMs, bool tryTls) {
  tls_ = {};
  OpenConnection(timeoutMs);
  try {
    Expect(ReadReply(), {smtp_client::kServiceReady});
    Introduce();
    if (tryTls && Extensions.Has(smtp_client::kStartTls)) return StartTls();
  } catch (...) {
    Disconnect();
    throw;
  }
  return true;
}

void TIdSMTP::OpenConnection(int timeoutMs) {
  stream_.Close();
  closed_ = false;
  transactionBegun_ = false;
  try {
    stream_.Connect(os::HostAddress(Host, static_cast<uint16_t>(Port)), timeoutMs);
  } catch (...) {
    stream_.Close();
    closed_ = true;
    throw;
  }
}

void TIdSMTP::Introduce() {
  AuthSchemes.clear();
  Extensions = {};
  const std::string name = HeloName.empty() ? os::LocalHostName() : HeloName;
  if (UseEhlo && SendCommand(smtp_client::kEhlo + name) == smtp_client::kOk) {
    RecordAuthSchemes();
    Extensions = EhloKeywords::Parse(lastText_);
    return;
  }
  SendCommand(smtp_client::kHelo + name, {smtp_client::kOk});
}

// Anything from the STARTTLS command to the end of the handshake that goes
// wrong (a refusal, a time-out, a close, a broken handshake) only means this
// host gets the message in plain text; an abort from another thread stays a
// failure.
bool TIdSMTP::StartTls() {
  try {
    if (SendCommand(smtp_client::kStartTls) != smtp_client::kServiceReady) {
      Disconnect();
      return false;
    }
    stream_.StartTls(os::TlsSession::ForClient(Tls ? Tls : os::TlsContext::DefaultClient(), Host),
                     ReadTimeout);
  } catch (const EFailure&) {
    if (aborted_) throw;
    // Mid-handshake the connection speaks neither plain text nor TLS: no QUIT.
    stream_.Close();
    closed_ = true;
    return false;
  }
  tls_ = stream_.Tls();
  // What the server offered before TLS may have been changed on the path.
  Introduce();
  return true;
}

void TIdSMTP::Send(const TIdMessage& message) { Send(message, message); }

void TIdSMTP::Send(const TIdMessage& message, const TIdMessage& bodySource) {
  textStarted_ = false;
  const bool pipelining = Extensions.Has(smtp_client::kPipelining);
  const std::vector<Command> commands = EnvelopeCommands(message, pipelining);
  transactionBegun_ = true;
  if (pipelining) {
    SendPipelined(commands);
  } else {
    for (const Command& command : commands) SendCommand(command.line, command.accepted);
  }
  textStarted_ = true;
  WriteMessage(message, bodySource);
  SendCommand(smtp_client::kEndOfData, {smtp_client::kOk});
}

// RSET clears what an earlier transaction may have left. A pipelining
// exchanger's fresh connection has none, and there it would cost a reply
// to wait for in the same round trip for nothing.
std::vector<TIdSMTP::Command> TIdSMTP::EnvelopeCommands(const TIdMessage& message, bool pipelining) const {
  using namespace smtp_client;
  std::vector<Command> commands;
  if (transactionBegun_ || !pipelining) commands.push_back({kRset, {}});
  commands.push_back({kMailFrom + EnvelopeAddress(message.From.Address) + ">", {kOk}});
  for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList})
    for (const auto& item : *list)
      commands.push_back({kRcptTo + EnvelopeAddress(item.Address) + ">", {kOk, kWillForward}});
  commands.push_back({kData, {kStartMailInput}});
  return commands;
}

// The replies come in the order of the commands (RFC 2920). Reading stops at
// the first refusal, whose text is the failure's, as it would be had the
// commands gone one at a time; the replies after it are left unread, since
// the caller drops the connection after a failure.
void TIdSMTP::SendPipelined(const std::vector<Command>& commands) {
  for (const Command& command : commands) CheckCommandLine(command.line);
  for (const Command& command : commands) {
    stream_.Write(command.line);
    stream_.Write(smtp_client::kCrLf);
  }
  Flush();
  for (const Command& command : commands) Expect(ReadReply(), command.accepted);
}

void TIdSMTP::Disconnect() {
  if (Connected()) {
    try {
      stream_.Write(std::string(smtp_client::kQuit) + smtp_client::kCrLf);
      stream_.Flush(ReadTimeout);
    } catch (const EFailure&) {
      // The connection is going anyway; a failed QUIT changes nothing.
    }
  }
  stream_.Close();
  closed_ = true;
}

bool TIdSMTP::Connected() const { return stream_.IsOpen() && !closed_; }

void TIdSMTP::DisconnectSocket() {
  aborted_ = true;
  closed_ = true;
  stream_.Abort();
}

void TIdSMTP::ClearAbort() {
  stream_.ClearAbort();
  aborted_ = false;
}

int TIdSMTP::SendCommand(const std::string& line, const Codes& accepted) {
  CheckCommandLine(line);
  stream_.Write(line);
  stream_.Write(smtp_client::kCrLf);
  Flush();
  const int code = ReadReply();
  Expect(code, accepted);
  return code;
}

// A line break inside a command would start another command on the
// exchanger; a NUL ends the line early on some.
void TIdSMTP::CheckCommandLine(const std::string& line) {
  if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw EFailure(smtp_client::kInvalidCommandCharacter);
}

void TIdSMTP::Expect(int code, const Codes& accepted) const {
  if (accepted.size() == 0 || std::find(accepted.begin(), accepted.end(), code) != accepted.end()) return;
  std::string text;
  for (const auto& line : lastText_) text += line + smtp_client::kCrLf;
  throw ESmtpReplyError(code, text);
}

int TIdSMTP::ReadReply() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ReadTimeout);
  std::size_t replyBytes = 0;
  std::vector<std::string> lines{ReadNonEmptyLine(deadline, replyBytes)};
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string last = first.substr(0, 3) + " ";
    for (;;) {
      if (lines.size() >= smtp_client::kMaxReplyLines) throw EFailure(smtp_client::kReplyTooLong);
      lines.push_back(ReadNonEmptyLine(deadline, replyBytes));
      const std::string& line = lines.back();
      if (line.size() < 4 || ascii::StartsWithNoCase(line, last)) break;
    }
  }
  lastCode_ = ParseCode(lines.front().substr(0, 3));
  lastText_.clear();
  for (const auto& line : lines) lastText_.push_back(line.size() > 4 ? line.substr(4) : std::string());
  return lastCode_;
}

// The wait for every line counts against the reply's one deadline, and so do
// the empty lines skipped on the way, in time and in bytes.
std::string TIdSMTP::ReadNonEmptyLine(std::chrono::steady_clock::time_point deadline,
                                      std::size_t& replyBytes) {
  try {
    for (;;) {
      int waitMs = os::TcpStream::kForever;
      if (ReadTimeout != os::TcpStream::kForever) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        waitMs = static_cast<int>(std::max<long long>(left.count(), 0));
      }
      std::string line = stream_.ReadLine(waitMs);
      replyBytes += line.size() + 2;
      if (replyBytes > smtp_client::kMaxReplyBytes) throw EFailure(smtp_client::kReplyTooLong);
      line = ascii::TrimSpacesAndControls(line);
      if (!line.empty()) return line;
    }
  } catch (const EConnectionClosed&) {
    closed_ = true;
    throw;
  } catch (const ESocketError& failure) {
    if (PeerDropped(failure)) closed_ = true;
    throw;
  }
}

void TIdSMTP::Flush() {
  try {
    stream_.Flush(ReadTimeout);
  } catch (const EConnectionClosed&) {
    closed_ = true;
    throw;
  } catch (const ESocketError& failure) {
    if (PeerDropped(failure)) closed_ = true;
    throw;
  }
}

// The whole text goes through the stream's buffer and leaves in few large
// sends; the closing "." is sent with the end of the text by SendCommand.
void TIdSMTP::WriteMessage(const TIdMessage& message, const TIdMessage& bodySource) {
  std::size_t queued = 0;
  Writer.WriteText(message, bodySource, [&](std::string_view bytes) {
    stream_.Write(bytes);
    queued += bytes.size();
    if (queued >= kFlushThreshold) {
      Flush();
      queued = 0;
    }
  });
}

void TIdSMTP::RecordAuthSchemes() {
  for (const auto& line : lastText_) {
    if (!ascii::StartsWithNoCase(line, "AUTH ") && !ascii::StartsWithNoCase(line, "AUTH=")) continue;
    std::istringstream words(line.substr(5));
    for (std::string scheme; words >> scheme;) AuthSchemes.push_back(scheme);
  }
}
