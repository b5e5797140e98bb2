// The mail message as received: raw header and body lines, and the fields
// that ProcessHeaders fills from the header lines.
#pragma once

#include <string>
#include <vector>

#include "intake/HeaderList.h"
#include "intake/IdEMailAddress.h"
#include "platform/DateTime.h"

enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

class TIdMessage {
 public:
  THeaderList Headers;  // received header lines, unchanged, in order
  LineStore Body;       // received body lines, dot-unstuffed

  TIdEMailAddressItem From;
  TIdEMailAddressList Recipients;  // "To"
  TIdEMailAddressList CCList;
  TIdEMailAddressList BccList;  // never filled from received text
  std::string Subject;
  std::string SubjectCharset;  // charset of Subject's decoded text (see TDecodedText)
  std::string ContentType;
  std::string CharSet;  // upper-cased charset parameter of ContentType
  std::string ContentTransferEncoding;
  std::string ContentDisposition;
  std::string MessageId;
  std::vector<std::string> NewsGroups;
  std::string Organization;
  TIdEMailAddressItem ReceiptRecipient;
  std::string References;
  TIdEMailAddressList ReplyTo;
  TIdEMailAddressItem Sender;
  TDateTime Date = 0;  // 0: use the time of sending (no or unreadable Date)
  TIdMessagePriority Priority = mpNormal;
  std::string MIMEBoundary;
  THeaderList ExtraHeaders;  // not filled for received messages
  bool NoDecode = false;
  bool NoEncode = false;

  // Fills the fields above from Headers, overwriting what they held (all
  // but BccList). Display names of From, To, Cc, Sender and Reply-To are
  // decoded after the addresses are parsed. Throws EFailure("@ Outside
  // address") for an address the parser rejects.
  void ProcessHeaders();
};

// Header text decoded from encoded words, and the charset it is in.
struct TDecodedText {
  std::string Text;
  // The charset of the decoded words, upper-cased without a language: their
  // one charset (the text then holds their bytes as they are), "UTF-8" when
  // words of several charsets met (all of them then converted to UTF-8), or
  // empty when nothing was decoded or a mix could not be converted.
  std::string Charset;
};

// RFC 2047 decoding of "=?ISO...", "=?WINDOWS..." and "=?UTF-8?" encoded
// words (Q and B), ISO-2022-JP text converted to Shift-JIS, NUL characters
// removed. Blanks between two decoded words are dropped; other words stay as
// they are.
TDecodedText DecodeHeaderText(const std::string& text);
std::string DecodeHeader(const std::string& text);  // the text alone

// Parses an RFC 822 date-time into local time (the sender's offset taken
// off, this machine's current offset added); false when it cannot be read.
bool ParseRfc822Date(const std::string& text, TDateTime& result);
