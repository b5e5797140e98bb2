// Writes a received message out again for relaying: the header generated
// from the received header lines and the message fields, an empty line, and
// the body lines as received, as the lines of the SMTP DATA phase.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/HeaderEncoding.h"
#include "intake/IdMessage.h"
#include "platform/DateTime.h"

class MessageWriter {
 public:
  using Sink = std::function<void(std::string_view bytes)>;

  // Character set of encoded header words (and ISO-2022-JP body conversion).
  HeaderCharset Charset = UserHeaderCharset();
  // Gives the Date of a message that has none.
  std::function<TDateTime()> Clock = [] { return Now(); };

  // The header lines of the relayed copy, without line ends. A line may be
  // a continuation line of the one before it.
  std::vector<std::string> HeaderLines(const TIdMessage& message) const;

  // The whole message text as the DATA phase carries it: header lines, an
  // empty line, body lines. Every line ends in CR LF, a "." at its start is
  // doubled, and a CR or LF inside a line breaks it there (inside a header
  // line the rest becomes a continuation line). The closing "." line is not
  // included.
  void WriteText(const TIdMessage& message, const Sink& write) const;
  // The same with the body lines of bodySource: copies that differ only in
  // their header share one received body.
  void WriteText(const TIdMessage& message, const TIdMessage& bodySource, const Sink& write) const;

  // An address as the generated headers write it: the address alone, or the
  // display name (in quotes, encoded when it needs it, or as it is when it
  // is made of encoded words and atoms) and the address in angle brackets;
  // a local part that needs quotes is quoted.
  std::string AddressText(const TIdEMailAddressItem& item) const;
  std::string AddressListText(const TIdEMailAddressList& list) const;

 private:
  using LineSink = std::function<void(std::string_view line)>;

  // The header lines in order, each handed over as it is made.
  void GenerateHeader(const TIdMessage& message, const LineSink& emit) const;
  std::string SubjectText(const TIdMessage& message) const;
};

// A date-time as the Date header writes it, with the local zone's current
// offset: "Tue, 7 Dec 2004 10:01:02 +0100".
std::string FormatMessageDate(TDateTime value);
