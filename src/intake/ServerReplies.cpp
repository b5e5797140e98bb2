// Formatting of the local SMTP server's replies.
#include "intake/ServerReplies.h"

std::string FormatTemplate(std::string_view pattern, std::string_view argument) {
  std::string result(pattern);
  const std::size_t at = result.find("%s");
  if (at != std::string::npos) result.replace(at, 2, argument);
  return result;
}

std::string ReplyLine(int code, std::string_view text) {
  std::string line = std::to_string(code);
  line += ' ';
  line += text;
  line += "\r\n";
  return line;
}

std::string WireForm(const TReply& reply) {
  if (reply.Text.empty()) return reply.Code == 0 ? std::string() : std::to_string(reply.Code) + "\r\n";
  std::string wire;
  const std::string code = std::to_string(reply.Code);
  for (std::size_t i = 0; i < reply.Text.size(); ++i) {
    wire += code;
    wire += i + 1 < reply.Text.size() ? '-' : ' ';
    wire += reply.Text[i];
    wire += "\r\n";
  }
  return wire;
}
