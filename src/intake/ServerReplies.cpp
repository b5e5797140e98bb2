// Formatting of the local SMTP server's replies.
#include "intake/ServerReplies.h"

#include <algorithm>

std::string FormatTemplate(std::string_view pattern, std::string_view argument) {
  std::string result(pattern);
  const std::size_t at = result.find("%s");
  if (at == std::string::npos) return result;
  // The argument is the client's own text echoed back: a bare CR in it would
  // end the reply line early for a client that ends lines there.
  std::string echoed(argument);
  for (char& c : echoed) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  result.replace(at, 2, echoed);
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

namespace {

bool HasReplyCode(std::string_view line) {
  if (line.size() < 3) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (line[i] < '0' || line[i] > '9') return false;
  return line.size() == 3 || line[3] == ' ' || line[3] == '-';
}

}  // namespace

std::string CustomReplyWireForm(std::string_view line) {
  std::string clean(line);
  for (char& c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  constexpr std::size_t kLineEnd = 2;
  if (!HasReplyCode(clean)) return clean.substr(0, replies::kMaxReplyLine - kLineEnd) + "\r\n";

  const std::string code = clean.substr(0, 3);
  std::string_view text = std::string_view(clean).substr(std::min<std::size_t>(clean.size(), 4));
  const std::size_t room = replies::kMaxReplyLine - code.size() - 1 - kLineEnd;
  std::string wire;
  while (text.size() > room) {
    // Break at the last blank that fits, which the line break replaces.
    std::size_t cut = text.rfind(' ', room);
    std::size_t skip = 1;
    if (cut == std::string_view::npos || cut == 0) {
      cut = room;
      skip = 0;
    }
    wire += code + "-" + std::string(text.substr(0, cut)) + "\r\n";
    text.remove_prefix(cut + skip);
  }
  return wire + code + " " + std::string(text) + "\r\n";
}
