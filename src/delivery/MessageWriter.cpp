#include "delivery/MessageWriter.h"

#include <cstdio>
#include <cstdlib>

#include "intake/HeaderDecoding.h"
#include "platform/AsciiText.h"

namespace {

// Whether a Content-Type value already names its charset.
bool HasCharsetParameter(const std::string& contentType) {
  const std::string lower = ascii::ToLower(contentType);
  for (std::size_t at = lower.find("charset"); at != std::string::npos; at = lower.find("charset", at + 1)) {
    std::size_t next = at + 7;
    while (next < lower.size() && (lower[next] == ' ' || lower[next] == '\t')) ++next;
    if (next < lower.size() && lower[next] == '=') return true;
  }
  return false;
}

// The Content-Type to send: as received when it carries a charset; with the
// message's charset added when it has none of its own.
std::string ContentTypeValue(const TIdMessage& message) {
  if (message.ContentType.empty() || message.CharSet.empty() || HasCharsetParameter(message.ContentType))
    return message.ContentType;
  return message.ContentType + ";\r\n\tcharset=\"" + message.CharSet + "\"";
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

bool HasHighBytes(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return true;
  return false;
}

// Blind copies name recipients the others must not see: every line of them
// goes, under any spelling of the name.
bool IsBlindCopy(std::string_view name) {
  return ascii::EqualNoCase(name, "Bcc") || ascii::EqualNoCase(name, "Resent-Bcc");
}

// Only the recipient's own To and no Cc may show: every further To or Cc
// line goes too.
bool IsRecipientList(std::string_view name) {
  return ascii::EqualNoCase(name, "To") || ascii::EqualNoCase(name, "Cc");
}

bool HoldsEncodedWord(std::string_view text) {
  const std::size_t open = text.find("=?");
  return open != std::string_view::npos && text.find("?=", open + 2) != std::string_view::npos;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// One header the writer sets: the value replaces the first received line of
// that name, or is appended when there is none; an empty value removes it.
struct GeneratedHeader {
  std::string_view name;
  std::string value;
  bool placed = false;  // its received line was met (and replaced or removed)
};

// The text of the DATA phase, gathered into large pieces for the sink. Every
// line ends in CR LF and a line that begins with "." gets another one, so no
// line of the text can end it early. A CR or LF inside a line is a line
// break: a receiver that ends lines at a bare CR then sees the same lines as
// one that does not, and a "." after such a break is doubled too.
class DataText {
 public:
  static constexpr std::size_t kPiece = 64 * 1024;

  explicit DataText(const MessageWriter::Sink& sink) : sink_(sink) {}

  // A header line: what follows a break inside it is a continuation line,
  // so it stays part of the same header; empty pieces are dropped, as an
  // empty line would end the header.
  void HeaderLine(std::string_view line) {
    bool first = true;
    ForEachPiece(line, [&](std::string_view piece) {
      const bool blank = piece.find_first_not_of(" \t") == std::string_view::npos;
      if (!first && blank) return;
      if (first && piece.empty()) {
        first = false;
        return;
      }
      if (!first && !ascii::IsBlank(piece[0])) {
        Line(" " + std::string(piece));
      } else {
        Line(piece);
      }
      first = false;
    });
  }

  void BodyLine(std::string_view line, bool toJis) {
    ForEachPiece(line, [&](std::string_view piece) {
      if (toJis && HasHighBytes(piece)) {
        Line(ShiftJisToIso2022Jp(piece));
      } else {
        Line(piece);
      }
    });
  }

  void EmptyLine() { Line({}); }

  void Finish() {
    if (!buffer_.empty()) sink_(buffer_);
    buffer_.clear();
  }

 private:
  template <typename Each>
  static void ForEachPiece(std::string_view line, Each each) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '\r' && line[i] != '\n') continue;
      each(line.substr(start, i - start));
      if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
      start = i + 1;
    }
    each(line.substr(start));
  }

  void Line(std::string_view piece) {
    if (!piece.empty() && piece[0] == '.') buffer_ += '.';
    buffer_ += piece;
    buffer_ += "\r\n";
    if (buffer_.size() >= kPiece) {
      sink_(buffer_);
      buffer_.clear();
    }
  }

  const MessageWriter::Sink& sink_;
  std::string buffer_;
};

}  // namespace

std::string FormatMessageDate(TDateTime value) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const DateTimeParts p = DecodeDateTime(value);
  const int offset = LocalUtcOffsetMinutes();
  const int absOffset = std::abs(offset);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", kDays[DayOfWeek(value)], p.day,
                kMonths[p.month - 1], p.year, p.hour, p.minute, p.second, offset < 0 ? '-' : '+',
                absOffset / 60, absOffset % 60);
  return text;
}

std::string MessageWriter::AddressText(const TIdEMailAddressItem& item) const {
  if (item.Name.empty()) return item.GetText();
  std::string name;
  if (NeedsEncoding(item.Name)) {
    name = EncodeHeaderPhrase(item.Name, item.NameCharset.empty() ? CharsetName(Charset) : item.NameCharset);
  } else if (HoldsEncodedWord(item.Name) && IsAtomPhrase(item.Name)) {
    name = item.Name;  // encoded words lose their meaning inside quotes
  } else {
    name = Quoted(item.Name);
  }
  return name + " <" + QuotedAddress(item.Address) + ">";
}

std::string MessageWriter::AddressListText(const TIdEMailAddressList& list) const {
  std::vector<std::string> texts;
  for (const auto& item : list) texts.push_back(AddressText(item));
  return Join(texts, ", ");
}

// A subject the copy does not change keeps its received encoded words;
// another is encoded in the charset its text came in.
std::string MessageWriter::SubjectText(const TIdMessage& message) const {
  std::string received = message.Headers.GetValue("Subject");
  if (!NeedsEncoding(received) && DecodeHeader(received) == message.Subject) return received;
  return EncodeHeaderText(message.Subject,
                          message.SubjectCharset.empty() ? CharsetName(Charset) : message.SubjectCharset);
}

// One pass over the received lines, so the work grows with the header's
// size however many lines a header has or how often it repeats.
void MessageWriter::GenerateHeader(const TIdMessage& message, const LineSink& emit) const {
  GeneratedHeader generated[] = {
      {"From", AddressText(message.From)},
      {"Subject", SubjectText(message)},
      {"To", AddressListText(message.Recipients)},
      {"Cc", AddressListText(message.CCList)},
      {"Newsgroups", Join(message.NewsGroups, ",")},
      {"Content-Type", ContentTypeValue(message)},
      {"Content-Transfer-Encoding", message.ContentTransferEncoding},
      {"Sender", AddressText(message.Sender)},
      {"Reply-To", AddressListText(message.ReplyTo)},
      {"Organization", EncodeHeaderText(message.Organization, Charset)},
      {"Disposition-Notification-To", AddressText(message.ReceiptRecipient)},
      {"References", message.References},
      {"Date", FormatMessageDate(message.Date != 0 ? message.Date : Clock())},
      {"X-Priority", std::to_string(static_cast<int>(message.Priority) + 1)},
  };
  auto put = [&](const GeneratedHeader& header) {
    if (header.value.empty()) return;
    for (const std::string& line : FoldHeader(header.name, header.value)) emit(line);
  };

  bool dropping = false;  // the continuation lines of a removed or replaced header
  for (std::string_view line : message.Headers.Lines) {
    if (IsContinuationLine(line)) {
      if (!dropping) emit(line);
      continue;
    }
    dropping = false;
    const std::string_view name = HeaderLineName(line);
    if (name.empty()) {
      emit(line);
      continue;
    }
    if (IsBlindCopy(name)) {
      dropping = true;
      continue;
    }
    GeneratedHeader* header = nullptr;
    for (GeneratedHeader& candidate : generated)
      if (ascii::EqualNoCase(candidate.name, name)) header = &candidate;
    if (header == nullptr || (header->placed && !IsRecipientList(name))) {
      emit(line);  // a repeated header other than To and Cc keeps its later lines
      continue;
    }
    dropping = true;
    if (!header->placed) put(*header);
    header->placed = true;
  }
  for (const GeneratedHeader& header : generated)
    if (!header.placed) put(header);
  for (std::string_view line : message.ExtraHeaders.Lines) emit(line);
}

std::vector<std::string> MessageWriter::HeaderLines(const TIdMessage& message) const {
  std::vector<std::string> lines;
  GenerateHeader(message, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

void MessageWriter::WriteText(const TIdMessage& message, const Sink& write) const {
  WriteText(message, message, write);
}

void MessageWriter::WriteText(const TIdMessage& message, const TIdMessage& bodySource,
                              const Sink& write) const {
  DataText text(write);
  GenerateHeader(message, [&](std::string_view line) { text.HeaderLine(line); });
  text.EmptyLine();
  // Japanese systems send ISO-2022-JP. Only text that claims to be in it yet
  // holds 8-bit bytes (so is in the local code page) is converted; a body in
  // any other declared charset would be corrupted by converting it.
  const bool toJis = Charset == HeaderCharset::Iso2022Jp && message.CharSet == "ISO-2022-JP";
  for (std::string_view line : bodySource.Body) text.BodyLine(line, toJis);
  text.Finish();
}
