// Filling the fields of a received message from its raw header lines.
#include "intake/IdMessage.h"

#include "intake/HeaderDecoding.h"
#include "intake/Rfc822Date.h"
#include "platform/AsciiText.h"

namespace {

// The value of a "name=value" parameter of a header value: the text between
// double quotes, or up to the next ";". `upperName` is searched in an
// upper-cased copy so the parameter name's case does not matter.
std::string ParameterValue(const std::string& value, std::string_view upperName) {
  const std::size_t at = ascii::ToUpper(value).find(upperName);
  if (at == std::string::npos) return {};
  const std::size_t start = at + upperName.size();
  if (start < value.size() && value[start] == '"') {
    const std::size_t close = value.find('"', start + 1);
    return value.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
  }
  const std::size_t end = value.find(';', start);
  return ascii::TrimSpacesAndControls(
      value.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = ascii::TrimSpacesAndControls(std::string_view(text).substr(start, end - start));
    if (!item.empty()) items.push_back(std::move(item));
    start = end + 1;
  }
  return items;
}

// The first blank-separated word as a number from 1 to 5; 3 when it is
// anything else, so a malformed value means normal priority.
int PriorityNumber(const std::string& value) {
  const std::string trimmed = ascii::TrimSpacesAndControls(value);
  std::string_view word(trimmed);
  word = word.substr(0, word.find_first_of(" \t"));
  if (!word.empty() && word[0] == '+') word.remove_prefix(1);
  while (word.size() > 1 && word[0] == '0') word.remove_prefix(1);
  if (word.size() != 1 || word[0] < '1' || word[0] > '5') return 3;
  return word[0] - '0';
}

// "Priority: non-urgent" is low, so it is looked for before "urgent",
// which it contains.
TIdMessagePriority ParsePriority(const std::string& value) {
  const std::string lower = ascii::ToLower(value);
  if (lower.find("non-urgent") != std::string::npos || lower.find("non-priority") != std::string::npos) {
    return mpLow;
  }
  if (lower.find("urgent") != std::string::npos) return mpHigh;
  return static_cast<TIdMessagePriority>(PriorityNumber(value) - 1);
}

// Display names may hold encoded words; addresses never do. Decoding after
// parsing keeps a decoded quote, comma or bracket in a name from changing
// where the address is. The name keeps its charset for the relayed copy.
void DecodeName(TIdEMailAddressItem& item) {
  TDecodedText decoded = DecodeHeaderText(item.Name);
  item.Name = std::move(decoded.Text);
  item.NameCharset = std::move(decoded.Charset);
}

void DecodeNames(TIdEMailAddressList& list) {
  for (TIdEMailAddressItem& item : list) DecodeName(item);
}

}  // namespace

void TIdMessage::ProcessHeaders() {
  ContentType = Headers.GetValue("Content-Type");
  CharSet = ascii::ToUpper(ParameterValue(ContentType, "CHARSET="));
  ContentTransferEncoding = Headers.GetValue("Content-Transfer-Encoding");
  ContentDisposition = Headers.GetValue("Content-Disposition");
  TDecodedText subject = DecodeHeaderText(Headers.GetValue("Subject"));
  Subject = std::move(subject.Text);
  SubjectCharset = std::move(subject.Charset);
  From.SetText(Headers.GetValue("From"));
  DecodeName(From);
  MessageId = Headers.GetValue("Message-Id");
  NewsGroups = SplitCommaList(Headers.GetValue("Newsgroups"));
  Recipients.SetEMailAddresses(Headers.GetValue("To"));
  DecodeNames(Recipients);
  CCList.SetEMailAddresses(Headers.GetValue("Cc"));
  DecodeNames(CCList);
  Organization = Headers.GetValue("Organization");
  ReceiptRecipient.SetText(Headers.GetValue("Disposition-Notification-To"));
  if (ReceiptRecipient.GetText().empty()) ReceiptRecipient.SetText(Headers.GetValue("Return-Receipt-To"));
  References = Headers.GetValue("References");
  ReplyTo.SetEMailAddresses(Headers.GetValue("Reply-To"));
  DecodeNames(ReplyTo);
  // An unreadable date is treated like a missing one: 0, the time of sending.
  Date = 0;
  if (!ParseRfc822Date(Headers.GetValue("Date"), Date)) Date = 0;
  Sender.SetText(Headers.GetValue("Sender"));
  DecodeName(Sender);
  const std::string priority = Headers.GetValue("Priority");
  Priority = ParsePriority(priority.empty() ? Headers.GetValue("X-Priority") : priority);
  MIMEBoundary = ParameterValue(ContentType, "BOUNDARY=");
}
