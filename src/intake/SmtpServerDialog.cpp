// The command table of the local SMTP server and its handlers.
#include "intake/SmtpServerDialog.h"

#include "platform/AsciiText.h"
#include "platform/Failure.h"

namespace {

// An address as the mail program gave it, parsed and rendered back. One that
// holds CR, LF or NUL is refused like an address the parser rejects: it
// would reach an exchanger's command line, where a line break starts another
// command.
TIdEMailAddressItem ParseAddress(std::string_view text) {
  const std::string trimmed = ascii::TrimSpacesAndControls(text);
  if (trimmed.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw EFailure(replies::kAddressControlCharacter);
  TIdEMailAddressItem item;
  item.SetText(trimmed);
  return item;
}

}  // namespace

bool MatchCommandWord(std::string_view line, std::string_view word, std::string& params) {
  if (line.size() < word.size() || !ascii::EqualNoCase(line.substr(0, word.size()), word)) return false;
  if (line.size() == word.size()) {
    params.clear();
    return true;
  }
  if (line[word.size()] != ' ') return false;
  params.assign(line.substr(word.size() + 1));
  return true;
}

// Tried in this order; the first matching word wins.
const std::array<SmtpServerDialog::Command, 16> SmtpServerDialog::kCommands = {{
    {"AUTH", 0, "", &SmtpServerDialog::Refuse, false},
    {"HELP", 0, "", &SmtpServerDialog::Refuse, false},
    {"SOML", 0, "", &SmtpServerDialog::Refuse, false},
    {"SEND", 0, "", &SmtpServerDialog::Refuse, false},
    {"SAML", 0, "", &SmtpServerDialog::Refuse, false},
    {"VRFY", 0, "", &SmtpServerDialog::Refuse, false},
    {"EXPN", 0, "", &SmtpServerDialog::Refuse, false},
    {"TURN", 0, "", &SmtpServerDialog::Refuse, false},
    {"RSET", replies::kOkCode, replies::kRSet, &SmtpServerDialog::Reset, false},
    {"DATA", 0, "", &SmtpServerDialog::Data, false},
    {"HELO", 0, "", &SmtpServerDialog::Hello, false},
    {"EHLO", 0, "", &SmtpServerDialog::ExtendedHello, false},
    {"MAIL", 0, "", &SmtpServerDialog::Mail, false},
    {"NOOP", replies::kOkCode, replies::kNoop, nullptr, false},
    {"QUIT", replies::kQuitCode, replies::kQuit, nullptr, true},
    {"RCPT", 0, "", &SmtpServerDialog::Recipient, false},
}};

void SmtpServerDialog::Serve(const std::string& line) {
  if (line.empty()) return;
  std::string params;
  for (const Command& command : kCommands) {
    if (!MatchCommandWord(line, command.Word, params)) continue;
    if (command.Run) (this->*command.Run)(params);
    if (command.ReplyCode > 0 || !command.ReplyText.empty()) Reply(command.ReplyCode, command.ReplyText);
    if (command.Disconnects) io_.Disconnect();
    return;
  }
  io_.Send(WireForm(settings_.ReplyUnknownCommand));
}

void SmtpServerDialog::ReplyWhole(std::string_view line) {
  std::string wire(line);
  wire += "\r\n";
  io_.Send(wire);
}

void SmtpServerDialog::Refuse(const std::string& params) {
  Reply(replies::kRefusedCode, FormatTemplate(replies::kCommandNotUnderstood, params));
}

void SmtpServerDialog::Reset(const std::string&) {
  thread_.EnvelopeRecipients().Clear();
  thread_.EnvelopeFrom.clear();
  thread_.DialogState = thread_.HeloSeen || thread_.EhloSeen ? TDialogState::Helo : TDialogState::None;
}

void SmtpServerDialog::Hello(const std::string& params) {
  if (thread_.DialogState != TDialogState::None) {
    Reply(replies::kSequenceErrorCode, replies::kSequenceError);
    return;
  }
  Reply(replies::kOkCode, FormatTemplate(replies::kHello, params));
  thread_.HeloSeen = true;
  thread_.DialogState = TDialogState::Helo;
}

void SmtpServerDialog::ExtendedHello(const std::string&) {
  Reply(replies::kRefusedCode, replies::kEhloNotSupported);
}

void SmtpServerDialog::Mail(const std::string& params) {
  if (!thread_.HeloSeen) {
    Reply(replies::kParameterErrorCode, replies::kNoHello);
    return;
  }
  // Every MAIL after HELO starts a new transaction, even a malformed one.
  thread_.EnvelopeFrom.clear();
  thread_.EnvelopeRecipients().Clear();
  thread_.DialogState = TDialogState::Helo;
  if (params.size() < 5 || !ascii::EqualNoCase(std::string_view(params).substr(0, 5), "FROM:")) {
    ReplyWhole(replies::kMailParameterError);
    return;
  }
  thread_.EnvelopeFrom = ParseAddress(std::string_view(params).substr(5)).GetText();
  Reply(replies::kOkCode, FormatTemplate(replies::kAddressOk, thread_.EnvelopeFrom));
  thread_.DialogState = TDialogState::Mail;
}

void SmtpServerDialog::Recipient(const std::string& params) {
  if (thread_.DialogState != TDialogState::Mail && thread_.DialogState != TDialogState::Rcpt) {
    Reply(replies::kSequenceErrorCode, replies::kSequenceError);
    return;
  }
  if (params.size() < 3 || !ascii::EqualNoCase(std::string_view(params).substr(0, 3), "TO:")) {
    ReplyWhole(replies::kRcptParameterError);
    return;
  }
  const std::string rendered = ParseAddress(std::string_view(params).substr(3)).GetText();
  TIdEMailAddressItem item;
  item.SetText(rendered);
  thread_.EnvelopeRecipients().Add() = item;
  Reply(replies::kOkCode, FormatTemplate(replies::kAddressOk, rendered));
  thread_.DialogState = TDialogState::Rcpt;
}

void SmtpServerDialog::Data(const std::string&) {
  if (thread_.DialogState != TDialogState::Rcpt) {
    Reply(replies::kSequenceErrorCode, replies::kSequenceError);
    return;
  }
  Reply(replies::kStartDataCode, replies::kStartData);
  std::string customError;
  {
    TIdMessage msg;  // freed on leaving this block, also when the handler throws
    ReceiveText(msg);
    if (settings_.OnReceiveMessage)
      settings_.OnReceiveMessage(thread_, msg, thread_.EnvelopeRecipients(), customError);
  }
  customError = ascii::TrimSpacesAndControls(customError);
  if (!customError.empty()) {
    // Recipients stay, so another DATA hands them over again.
    io_.Send(CustomReplyWireForm(customError));
    return;
  }
  Reply(replies::kOkCode, replies::kEndData);
  thread_.DialogState = TDialogState::Data;
}

void SmtpServerDialog::ReceiveText(TIdMessage& msg) {
  bool inHeader = true;
  for (;;) {
    std::string line = io_.ReadLine();
    if (line == ".") return;
    if (inHeader && line.empty()) {
      inHeader = false;
      continue;
    }
    if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.erase(0, 1);
    (inHeader ? msg.Headers.Lines : msg.Body).push_back(std::move(line));
  }
}
