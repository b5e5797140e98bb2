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
