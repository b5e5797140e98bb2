// A received message's fields from its header lines: addresses, subject,
// character set, priority and date.
#include "intake/IdMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/Failure.h"
#include "support/FixedZone.h"

using testing_support::FixedZone;

namespace {

TIdMessage MessageWith(std::vector<std::string> lines) {
  TIdMessage message;
  message.Headers.Lines = std::move(lines);
  return message;
}

std::vector<std::string> Rendered(const TIdEMailAddressList& list) {
  std::vector<std::string> items;
  for (const TIdEMailAddressItem& item : list) items.push_back(item.GetText());
  return items;
}

TEST_F(FixedZone, ProcessHeadersFillsEveryField) {
  TIdMessage message = MessageWith({
      "From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <jm@x.de>",
      "To: a@b.c, \"Smith, John\" <js@x.com>, undisclosed-recipients:;",
      "To: second@x",
      "Cc: =?ISO-8859-1?Q?=22Quote=2C?= <q@x>",
      "Subject: Hello",
      " world",
      "Content-Type: text/plain; charset=\"iso-8859-1\"; format=flowed",
      "Content-Transfer-Encoding: 8bit",
      "Content-Disposition: inline",
      "Message-Id: <1@x>",
      "Newsgroups: comp.mail, , alt.test",
      "Organization: Org",
      "Return-Receipt-To: r@x",
      "References: <0@x>",
      "Reply-To: rt@x, =?ISO-8859-2?Q?Pawe=B3?= <rt2@x>",
      "Date: Tue, 7 Dec 2004 10:01:02 +0100",
      "Sender: =?UTF-8?Q?J=C3=B6rg?= <s@x>",
      "X-Priority: 1 (Highest)",
  });
  message.BccList.Add().Address = "kept@x";
  message.ProcessHeaders();

  EXPECT_EQ(message.From.Name, "J\xf6rg M\xfcller");
  EXPECT_EQ(message.From.NameCharset, "ISO-8859-1");
  EXPECT_EQ(message.From.Address, "jm@x.de");
  EXPECT_EQ(Rendered(message.Recipients), (std::vector<std::string>{"a@b.c", "\"Smith, John\" <js@x.com>"}));
  ASSERT_EQ(message.CCList.Count(), 1);  // the decoded quote and comma stay in the name
  EXPECT_EQ(message.CCList[0].Name, "\"Quote,");
  EXPECT_EQ(message.CCList[0].Address, "q@x");
  EXPECT_EQ(message.Subject, "Hello world");
  EXPECT_EQ(message.SubjectCharset, "");
  EXPECT_EQ(message.ContentType, "text/plain; charset=\"iso-8859-1\"; format=flowed");
  EXPECT_EQ(message.CharSet, "ISO-8859-1");
  EXPECT_EQ(message.ContentTransferEncoding, "8bit");
  EXPECT_EQ(message.ContentDisposition, "inline");
  EXPECT_EQ(message.MessageId, "<1@x>");
  EXPECT_EQ(message.NewsGroups, (std::vector<std::string>{"comp.mail", "alt.test"}));
  EXPECT_EQ(message.Organization, "Org");
  EXPECT_EQ(message.ReceiptRecipient.Address, "r@x");
  EXPECT_EQ(message.References, "<0@x>");
  ASSERT_EQ(message.ReplyTo.Count(), 2);
  EXPECT_EQ(message.ReplyTo[1].Name, "Pawe\xb3");  // Reply-To and Sender are decoded like From
  EXPECT_EQ(message.ReplyTo[1].NameCharset, "ISO-8859-2");
  EXPECT_EQ(DateText(message.Date), "2004-12-07 11:01:02");
  EXPECT_EQ(message.Sender.Address, "s@x");
  EXPECT_EQ(message.Sender.Name, "J\xc3\xb6rg");
  EXPECT_EQ(message.Sender.NameCharset, "UTF-8");
  EXPECT_EQ(message.Priority, mpHighest);
  EXPECT_EQ(message.BccList.Count(), 1);
}

TEST(IdMessage, MissingHeadersClearEarlierValues) {
  TIdMessage message;
  message.Subject = "old";
  message.From.Address = "old@x";
  message.Recipients.Add().Address = "old@x";
  message.Date = 12345;
  message.Priority = mpLowest;
  message.CharSet = "OLD";
  message.ProcessHeaders();
  EXPECT_EQ(message.Subject, "");
  EXPECT_EQ(message.From.GetText(), "");
  EXPECT_EQ(message.Recipients.Count(), 0);
  EXPECT_EQ(message.Date, 0);
  EXPECT_EQ(message.Priority, mpNormal);
  EXPECT_EQ(message.CharSet, "");
}

TEST(IdMessage, ReceiptRecipientFallsBackToReturnReceiptTo) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"Disposition-Notification-To: d@x", "Return-Receipt-To: r@x"}, "d@x"},
      {{"Disposition-Notification-To: ", "Return-Receipt-To: r@x"}, "r@x"},
      {{"Disposition-Notification-To: (only a comment)", "Return-Receipt-To: r@x"}, "r@x"},
  };
  for (const auto& [lines, address] : cases) {
    TIdMessage message = MessageWith(lines);
    message.ProcessHeaders();
    EXPECT_EQ(message.ReceiptRecipient.Address, address) << lines[0];
  }
}

TEST(IdMessage, AddressErrorLeavesProcessHeaders) {
  for (const char* line : {"From: <a@b> c@d", "To: x@y, <a@b> c@d", "Sender: <a@b>@"}) {
    TIdMessage message = MessageWith({line});
    try {
      message.ProcessHeaders();
      ADD_FAILURE() << "no failure for " << line;
    } catch (const EFailure& e) {
      EXPECT_STREQ(e.what(), "@ Outside address") << line;
    }
  }
}

TEST(IdMessage, CharSetAndBoundaryFromContentType) {
  struct Case {
    std::string contentType, charSet, boundary;
  } cases[] = {
      {"text/plain; charset=\"iso-2022-jp\"", "ISO-2022-JP", ""},
      {"text/plain; charset=us-ascii; format=flowed", "US-ASCII", ""},
      {"text/plain; CharSet=utf-8 ", "UTF-8", ""},
      {"text/plain", "", ""},
      {"text/plain; charset=\"unclosed", "UNCLOSED", ""},
      {"multipart/mixed; boundary=\"--=_Part_1\"", "", "--=_Part_1"},
      {"multipart/alternative; BOUNDARY=AbC; charset=x", "X", "AbC"},
  };
  for (const Case& c : cases) {
    TIdMessage message = MessageWith({"Content-Type: " + c.contentType});
    message.ProcessHeaders();
    EXPECT_EQ(message.CharSet, c.charSet) << c.contentType;
    EXPECT_EQ(message.MIMEBoundary, c.boundary) << c.contentType;
  }
}

TEST(IdMessage, PriorityFromPriorityOrXPriority) {
  struct Case {
    std::string priority, xPriority;
    TIdMessagePriority expected;
  } cases[] = {
      {"", "", mpNormal},
      {"", "1", mpHighest},
      {"", "1 (Highest)", mpHighest},
      {"", "02", mpHigh},
      {"", "4", mpLow},
      {"", "5 (Lowest)", mpLowest},
      {"urgent", "", mpHigh},
      {"Non-Urgent", "1", mpLow},
      {"non-priority", "", mpLow},
      {"normal", "1", mpNormal},  // a non-empty Priority wins
      {"", "9", mpNormal},
      {"", "0", mpNormal},
      {"", "-1", mpNormal},
      {"", "high", mpNormal},
      {"", "1(Highest)", mpNormal},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    if (!c.priority.empty()) lines.push_back("Priority: " + c.priority);
    if (!c.xPriority.empty()) lines.push_back("X-Priority: " + c.xPriority);
    TIdMessage message = MessageWith(lines);
    message.ProcessHeaders();
    EXPECT_EQ(message.Priority, c.expected)
        << "Priority [" << c.priority << "] X-Priority [" << c.xPriority << "]";
  }
}

TEST_F(FixedZone, UnreadableDateLeavesZero) {
  for (const char* text : {"", "garbage", "31 Feb 2004", "29 Feb 2100", "7 Foo 2004", "7 Dec", "7 Dec 204",
                           "7 Dec 2004 25:00:00", "7 Dec 2004 10:60", "7 Dec 2004 10:", "0 Dec 2004",
                           "Tue, Dec 2004", "123 Dec 2004"}) {
    TIdMessage message = MessageWith({std::string("Date: ") + text});
    message.Date = 99;
    message.ProcessHeaders();
    EXPECT_EQ(message.Date, 0) << text;
  }
}

}  // namespace
