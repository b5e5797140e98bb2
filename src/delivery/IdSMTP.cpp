#include "delivery/IdSMTP.h"

#include <algorithm>
#include <sstream>

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

}  // namespace

void TIdSMTP::Connect(int timeoutMs) {
  aborted_ = false;
  const bool tryTls = HostsWithoutTls == nullptr || !HostsWithoutTls->contains(Host);
  if (OpenSession(timeoutMs, tryTls)) return;
  // Encryption failed with this host: once more without it, as it would
  // have gone had the host never offered it.
  if (HostsWithoutTls != nullptr) HostsWithoutTls->insert(Host);
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

void TIdSMTP::Send(TIdMessage& message) {
  using namespace smtp_client;
  SendCommand(kRset);
  SendCommand(kMailFrom + message.From.Address + ">", {kOk});
  for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList})
    for (const auto& item : *list) SendCommand(kRcptTo + item.Address + ">", {kOk, kWillForward});
  SendCommand(kData, {kStartMailInput});
  WriteMessage(message);
  SendCommand(kEndOfData, {kOk});
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

int TIdSMTP::SendCommand(const std::string& line, std::initializer_list<int> accepted) {
  stream_.Write(line);
  stream_.Write(smtp_client::kCrLf);
  Flush();
  const int code = ReadReply();
  Expect(code, accepted);
  return code;
}

void TIdSMTP::Expect(int code, std::initializer_list<int> accepted) const {
  if (accepted.size() == 0 || std::find(accepted.begin(), accepted.end(), code) != accepted.end()) return;
  std::string text;
  for (const auto& line : lastText_) text += line + smtp_client::kCrLf;
  throw ESmtpReplyError(code, text);
}

int TIdSMTP::ReadReply() {
  std::vector<std::string> lines{ReadNonEmptyLine()};
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string last = first.substr(0, 3) + " ";
    for (;;) {
      lines.push_back(ReadNonEmptyLine());
      const std::string& line = lines.back();
      if (line.size() < 4 || ascii::StartsWithNoCase(line, last)) break;
    }
  }
  lastCode_ = ParseCode(lines.front().substr(0, 3));
  lastText_.clear();
  for (const auto& line : lines) lastText_.push_back(line.size() > 4 ? line.substr(4) : std::string());
  return lastCode_;
}

std::string TIdSMTP::ReadNonEmptyLine() {
  try {
    for (;;) {
      std::string line = ascii::TrimSpacesAndControls(stream_.ReadLine(ReadTimeout));
      if (!line.empty()) return line;
    }
  } catch (const EConnectionClosed&) {
    closed_ = true;
    throw;
  }
}

void TIdSMTP::Flush() {
  try {
    stream_.Flush(ReadTimeout);
  } catch (const EConnectionClosed&) {
    closed_ = true;
    throw;
  }
}

// The whole text goes through the stream's buffer and leaves in few large
// sends; the closing "." is sent with the end of the text by SendCommand.
void TIdSMTP::WriteMessage(const TIdMessage& message) {
  std::size_t queued = 0;
  Writer.WriteText(message, [&](std::string_view bytes) {
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
