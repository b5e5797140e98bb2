// Arbitrary header lines through ProcessHeaders (which may only fail with
// "@ Outside address"), header decoding and date reading, and a header set
// from arbitrary text, which must stay a well-formed header whose folding
// changes nothing of the value.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "intake/HeaderDecoding.h"
#include "intake/IdMessage.h"
#include "intake/Rfc822Date.h"
#include "platform/Failure.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: [%s]\n", what, detail.c_str());
  std::abort();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

void CheckProcessHeaders(const std::string& text) {
  TIdMessage message;
  message.Headers.Lines = SplitLines(text);
  try {
    message.ProcessHeaders();
  } catch (const EFailure& e) {
    if (std::string(e.what()) != "@ Outside address") Fail("unexpected failure text", e.what());
  }
  if (!std::isfinite(message.Date)) Fail("date not finite", text);
}

void CheckDecoding(const std::string& text) {
  if (DecodeHeader(text).find('\0') != std::string::npos) Fail("NUL left in decoded text", text);
  TDateTime date = 0;
  if (ParseRfc822Date(text, date) && !std::isfinite(date)) Fail("date not finite", text);
}

// The first line up to its colon is the name, the rest of the input the
// value: the header set from them must be one header with continuation
// lines, nothing that could end the header block or start another header.
void CheckSetValue(const std::string& text) {
  const std::size_t colon = text.find(':');
  const std::size_t newline = text.find('\n');
  if (colon == std::string::npos || colon == 0 || (newline != std::string::npos && newline < colon)) return;
  const std::string name = text.substr(0, colon);
  if (name.find_first_of(" \t\r") != std::string::npos) return;
  THeaderList headers;
  headers.Lines = {"A: 1", "X-Fuzz: old", " old continuation", "B: 2"};
  const std::string value = text.substr(colon + 1);
  headers.SetValue(name, value);
  std::string joined;  // the set header's lines joined again
  bool inHeader = false;
  for (std::string_view line : headers.Lines) {
    if (line.empty()) Fail("empty header line", text);
    if (line.find_first_of("\r\n") != std::string_view::npos) Fail("line break inside a header line", text);
    if (HeaderLineHasName(line, name)) {
      inHeader = true;
    } else if (!IsContinuationLine(line)) {
      inHeader = false;
    }
    if (inHeader) joined += line;
  }
  if (headers.IndexOfName(name) < 0 && !value.empty()) Fail("header not set", text);
  // Folding only inserts line breaks before blanks: taking them out again
  // gives back the value exactly.
  if (!value.empty() && value.find_first_of("\r\n") == std::string::npos && joined != name + ": " + value)
    Fail("folding changed the value", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckProcessHeaders(text);
  CheckDecoding(text);
  CheckSetValue(text);
  return 0;
}
