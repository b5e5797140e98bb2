// Arbitrary received text through the message model to the relayed copy's
// DATA text, which must stay a sequence of lines ended by CR LF (no bare CR
// or LF), none of them a lone "." that would end DATA early, with an empty
// line after the header; the copy shows exactly one To and no blind copy.
//
// Input: the first byte picks the user's language charset; the rest is the
// received text, header lines up to the first empty line, then body lines,
// split at LF as the intake splits them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/MessageWriter.h"
#include "intake/IdMessage.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The received text as the intake keeps it: lines split at LF, a CR before
// the LF dropped, ".." at a line's start unstuffed.
TIdMessage Received(std::string_view text) {
  TIdMessage message;
  bool inHeader = true;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string line(text.substr(0, lf));
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (inHeader && line.empty()) {
      inHeader = false;
      continue;
    }
    if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.erase(0, 1);
    (inHeader ? message.Headers.Lines : message.Body).push_back(line);
  }
  return message;
}

// The written text split into its lines; each must end in CR LF, and CR and
// LF occur nowhere else.
std::vector<std::string_view> DataLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) Fail("text does not end in CR LF", text);
    if (text[end] != '\r' || end + 1 >= text.size() || text[end + 1] != '\n') Fail("bare CR or LF", text);
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 2);
  }
  return lines;
}

void CheckCopy(const TIdMessage& message, std::string_view text, const std::string& ownTo) {
  const std::vector<std::string_view> lines = DataLines(text);
  bool inHeader = true;
  int toLines = 0;
  for (std::string_view line : lines) {
    if (line == ".") Fail("a line of one dot ends DATA early", text);
    if (!inHeader) continue;
    if (line.empty()) {
      inHeader = false;
      continue;
    }
    const std::string_view unstuffed = line[0] == '.' ? line.substr(1) : line;
    const std::string_view name = HeaderLineName(unstuffed);
    if (ascii::EqualNoCase(name, "Bcc") || ascii::EqualNoCase(name, "Resent-Bcc"))
      Fail("blind copy shows", text);
    if (ascii::EqualNoCase(name, "Cc")) Fail("a Cc line shows", text);
    if (ascii::EqualNoCase(name, "To")) ++toLines;
  }
  if (inHeader) Fail("no empty line after the header", text);
  if (toLines != (ownTo.empty() ? 0 : 1)) Fail("not exactly the recipient's own To", text);
  if (lines.size() < message.Body.size() + 1) Fail("body lines lost", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static constexpr HeaderCharset kCharsets[] = {HeaderCharset::Latin1, HeaderCharset::Iso2022Jp,
                                                HeaderCharset::Gb2312, HeaderCharset::Big5,
                                                HeaderCharset::EucKr};
  MessageWriter writer;
  writer.Charset = kCharsets[data[0] % std::size(kCharsets)];
  writer.Clock = [] { return 38328.5; };
  TIdMessage message = Received(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  try {
    message.ProcessHeaders();
  } catch (const EFailure& e) {
    if (std::string_view(e.what()) != "@ Outside address") Fail("unexpected failure text", e.what());
  }
  // As the delivery engine does: the first received To item, or a fixed one,
  // is the one recipient.
  TIdEMailAddressItem recipient;
  recipient.Address = "rcpt@y.test";
  if (message.Recipients.Count() > 0) recipient = message.Recipients[0];
  message.Recipients.Clear();
  message.CCList.Clear();
  message.BccList.Clear();
  message.Recipients.Add() = recipient;

  std::string text;
  writer.WriteText(message, [&](std::string_view bytes) { text += bytes; });
  CheckCopy(message, text, writer.AddressText(recipient));
  return 0;
}
