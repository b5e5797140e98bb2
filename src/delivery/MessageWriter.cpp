#include "delivery/MessageWriter.h"

#include <cstdio>
#include <cstdlib>

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

bool IsPrintableAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

bool HasHighBytes(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return true;
  return false;
}

// Blind copies name recipients the others must not see: every Bcc line goes,
// with its continuation lines.
void RemoveAll(THeaderList& headers, std::string_view name) {
  auto& lines = headers.Lines;
  for (int at; (at = headers.IndexOfName(name)) >= 0;) {
    auto end = lines.begin() + at + 1;
    while (end != lines.end() && !end->empty() && (end->front() == ' ' || end->front() == '\t')) ++end;
    lines.erase(lines.begin() + at, end);
  }
}

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
  if (item.Name.empty()) return item.Address;
  if (!IsPrintableAscii(item.Name)) return EncodeHeaderPhrase(item.Name, Charset) + " <" + item.Address + ">";
  std::string quoted = "\"";
  for (char c : item.Name) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" <" + item.Address + ">";
}

std::string MessageWriter::AddressListText(const TIdEMailAddressList& list) const {
  std::vector<std::string> texts;
  for (const auto& item : list) texts.push_back(AddressText(item));
  return Join(texts, ", ");
}

std::vector<std::string> MessageWriter::HeaderLines(const TIdMessage& message) const {
  THeaderList headers = message.Headers;
  RemoveAll(headers, "Bcc");

  headers.SetValue("From", AddressText(message.From));
  headers.SetValue("Subject", EncodeHeaderText(message.Subject, Charset));
  headers.SetValue("To", AddressListText(message.Recipients));
  headers.SetValue("Cc", AddressListText(message.CCList));
  headers.SetValue("Newsgroups", Join(message.NewsGroups, ","));
  headers.SetValue("Content-Type", ContentTypeValue(message));
  headers.SetValue("Content-Transfer-Encoding", message.ContentTransferEncoding);
  headers.SetValue("Sender", AddressText(message.Sender));
  headers.SetValue("Reply-To", AddressListText(message.ReplyTo));
  headers.SetValue("Organization", EncodeHeaderText(message.Organization, Charset));
  headers.SetValue("Disposition-Notification-To", AddressText(message.ReceiptRecipient));
  headers.SetValue("References", message.References);
  headers.SetValue("Date", FormatMessageDate(message.Date != 0 ? message.Date : Clock()));
  headers.SetValue("X-Priority", std::to_string(static_cast<int>(message.Priority) + 1));

  // The header list turns the line break of an added charset into a
  // continuation line, so every element here is one physical line.
  std::vector<std::string> lines = std::move(headers.Lines);
  lines.insert(lines.end(), message.ExtraHeaders.Lines.begin(), message.ExtraHeaders.Lines.end());
  return lines;
}

void MessageWriter::WriteText(const TIdMessage& message, const Sink& write) const {
  WriteText(message, message, write);
}

void MessageWriter::WriteText(const TIdMessage& message, const TIdMessage& bodySource,
                              const Sink& write) const {
  for (const auto& line : HeaderLines(message)) {
    write(line);
    write("\r\n");
  }
  write("\r\n");
  // Japanese systems send ISO-2022-JP. Only text that claims to be in it yet
  // holds 8-bit bytes (so is in the local code page) is converted; a body in
  // any other declared charset would be corrupted by converting it.
  const bool toJis = Charset == HeaderCharset::Iso2022Jp && message.CharSet == "ISO-2022-JP";
  for (const auto& line : bodySource.Body) {
    if (!line.empty() && line[0] == '.') write(".");
    if (toJis && HasHighBytes(line)) {
      write(ShiftJisToIso2022Jp(line));
    } else {
      write(line);
    }
    write("\r\n");
  }
}
