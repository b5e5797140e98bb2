// Every line the local SMTP server sends and every error text of its
// listener, spelled exactly as the mail program and the controller see them,
// with the reply record and its wire form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A reply: a numeric code and zero or more text lines.
struct TReply {
  int Code = 0;
  std::vector<std::string> Text;
};

namespace replies {

inline constexpr int kGreetingCode = 220;
inline constexpr std::string_view kGreeting = "Welcome to the ";  // the product name follows
inline constexpr int kUnknownCommandCode = 500;
inline constexpr std::string_view kUnknownCommand = "Syntax Error";

inline constexpr int kOkCode = 250;
inline constexpr int kQuitCode = 221;
inline constexpr int kStartDataCode = 354;
inline constexpr int kRefusedCode = 500;
inline constexpr int kParameterErrorCode = 501;
inline constexpr int kSequenceErrorCode = 503;

inline constexpr std::string_view kNoop = "Ok";
inline constexpr std::string_view kRSet = "Ok";
inline constexpr std::string_view kQuit = "Signing Off";
inline constexpr std::string_view kCommandNotUnderstood = "Syntax Error - Command not understood: %s";
inline constexpr std::string_view kSequenceError = "";
inline constexpr std::string_view kHello = "Hello %s";
inline constexpr std::string_view kNoHello = "Polite people say HELO";
inline constexpr std::string_view kEhloNotSupported = "Command Not Recognised";
inline constexpr std::string_view kAddressOk = "%s Address Okay";
inline constexpr std::string_view kStartData = "Start mail input; end with <CRLF>.<CRLF>";
inline constexpr std::string_view kEndData = "Ok";
// Whole lines, code included.
inline constexpr std::string_view kMailParameterError =
    "501 Parameter error! Example: mail from:<user@example.com>";
inline constexpr std::string_view kRcptParameterError =
    "501 Command parameter error! Example: rcpt to:<user@example.com>";

// Sent to a connection over MaxConnections before it is closed (only when a
// limit is configured).
inline constexpr int kTooManyConnectionsCode = 421;
inline constexpr std::string_view kTooManyConnections = "Too many connections, try again later";

// Why an address with CR, LF or NUL inside is refused (the connection ends
// without a reply, as for any address the parser rejects).
inline constexpr char kAddressControlCharacter[] = "Control character in address";

// Longest reply line on the wire, its CR LF included.
inline constexpr std::size_t kMaxReplyLine = 512;

// Errors of the listener and its connect hook.
inline constexpr std::string_view kBindFailed = "Could not bind socket. Address and port are already in use.";
inline constexpr std::string_view kExternalRestricted = "External connections are restricted!";

}  // namespace replies

// Replaces the one "%s" of a template by the argument, taken literally but
// for its control characters, which become blanks.
std::string FormatTemplate(std::string_view pattern, std::string_view argument);

// "code text" followed by CR LF.
std::string ReplyLine(int code, std::string_view text);

// A whole reply line that a handler supplied ("550 text"), made safe for the
// wire: control characters become blanks, and a line longer than
// kMaxReplyLine continues over the lines of a multi-line reply of the same
// code, broken at blanks where it can be, nothing of the text left out. A
// line without a leading code is cut to one line.
std::string CustomReplyWireForm(std::string_view line);

// The reply on the wire: one line per text line ending in CR LF, "code-text"
// for all but the last, "code text" for the last; the code alone with no
// text, and nothing at all for code 0 without text.
std::string WireForm(const TReply& reply);
