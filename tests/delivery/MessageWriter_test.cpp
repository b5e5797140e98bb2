// The relayed copy's header and text: which received lines pass through, which
// are replaced in place, which are appended, and how the body is carried.
#include "delivery/MessageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>

#include "platform/AsciiText.h"
#include "support/ScopedTimeZone.h"

using Lines = std::vector<std::string>;

namespace {

// Pins the local zone for the test's lifetime so dates format the same
// everywhere: +0100 all year unless a test picks another.
class ZoneFixture : public ::testing::Test {
 protected:
  void PinZone(const char* zone) { testing_support::ScopedTimeZone::Set(zone); }

 private:
  testing_support::ScopedTimeZone zone_{"CET-1"};
};

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  return EncodeDateTime({year, month, day, hour, minute, second, 0});
}

TIdEMailAddressItem Item(std::string name, std::string address) {
  TIdEMailAddressItem item;
  item.Name = std::move(name);
  item.Address = std::move(address);
  return item;
}

// A message as the intake keeps it, with its fields filled from the header
// and the delivery engine's single recipient (the second To address) in To.
TIdMessage Received() {
  TIdMessage m;
  m.Headers.Lines = {
      "Received: from pc.example.org by relay.example.org;",
      "\tTue, 7 Dec 2004 10:00:00 +0100",
      "Message-ID: <1234@pc.example.org>",
      "From: John <john@example.org>",
      "To: a@x.test, \"Bee, B\" <b@y.test>",
      "Cc: c@z.test",
      "Subject: Hello",
      "Date: Tue, 7 Dec 2004 10:01:02 +0100",
      "MIME-Version: 1.0",
      "Content-Type: text/plain; charset=\"iso-8859-1\"",
      "X-Mailer: Mailer 1.0",
  };
  m.From = Item("John", "john@example.org");
  m.Recipients.Add() = Item("", "b@y.test");
  m.Subject = "Hello";
  m.Date = At(2004, 12, 7, 10, 1, 2);
  m.ContentType = "text/plain; charset=\"iso-8859-1\"";
  m.CharSet = "ISO-8859-1";
  return m;
}

const Lines kRelayed = {
    "Received: from pc.example.org by relay.example.org;",
    "\tTue, 7 Dec 2004 10:00:00 +0100",
    "Message-ID: <1234@pc.example.org>",
    "From: \"John\" <john@example.org>",
    "To: b@y.test",
    "Subject: Hello",
    "Date: Tue, 7 Dec 2004 10:01:02 +0100",
    "MIME-Version: 1.0",
    "Content-Type: text/plain; charset=\"iso-8859-1\"",
    "X-Mailer: Mailer 1.0",
    "X-Priority: 3",
};

// kRelayed with some lines replaced (index -> text; empty text drops it) and
// some appended before X-Priority.
Lines RelayedWith(std::map<int, std::string> replaced, Lines appended = {}, std::string priority = "3") {
  Lines out;
  for (int i = 0; i + 1 < static_cast<int>(kRelayed.size()); ++i) {
    auto it = replaced.find(i);
    if (it == replaced.end()) {
      out.push_back(kRelayed[i]);
    } else if (!it->second.empty()) {
      out.push_back(it->second);
    }
  }
  out.insert(out.end(), appended.begin(), appended.end());
  if (!priority.empty()) out.push_back("X-Priority: " + priority);
  return out;
}

// Changes the received header lines as a vector.
void EditHeader(TIdMessage& m, const std::function<void(Lines&)>& edit) {
  Lines lines = m.Headers.Lines.ToVector();
  edit(lines);
  m.Headers.Lines = lines;
}

void InsertLines(TIdMessage& m, int at, Lines lines) {
  EditHeader(m, [&](Lines& all) { all.insert(all.begin() + at, lines.begin(), lines.end()); });
}

std::string Show(const Lines& lines) {
  std::string out;
  for (const auto& line : lines) out += "  [" + line + "]\n";
  return out;
}

struct HeaderCase {
  const char* name;
  std::function<void(TIdMessage&)> change;
  Lines expected;
};

}  // namespace

using MessageWriterHeader = ZoneFixture;

TEST_F(MessageWriterHeader, GeneratedHeaderForReceivedMessages) {
  const HeaderCase cases[] = {
      {"relayed copy: To names the envelope recipient alone, Cc goes, the rest keeps its place",
       [](TIdMessage&) {}, kRelayed},
      {"no Date header: the time of sending is appended",
       [](TIdMessage& m) {
         EditHeader(m, [](Lines& l) { l.erase(l.begin() + 7); });
         m.Date = 0;
       },
       RelayedWith({{6, ""}}, {"Date: Wed, 8 Dec 2004 09:00:00 +0100"})},
      {"Return-Receipt-To gives Disposition-Notification-To at the end and stays",
       [](TIdMessage& m) {
         InsertLines(m, 7, {"Return-Receipt-To: <john@example.org>"});
         m.ReceiptRecipient = Item("", "john@example.org");
       },
       RelayedWith({{5, "Subject: Hello\nReturn-Receipt-To: <john@example.org>"}},
                   {"Disposition-Notification-To: john@example.org"})},
      {"every Bcc line goes, continuation lines included",
       [](TIdMessage& m) {
         InsertLines(m, 6, {"Bcc: hidden@q.test,", "  other@q.test"});
         m.Headers.Lines.push_back("bcc: third@q.test");
       },
       kRelayed},
      {"a charset is added only to a Content-Type that has none",
       [](TIdMessage& m) {
         EditHeader(m, [](Lines& l) { l[9] = "Content-Type: text/plain"; });
         m.ContentType = "text/plain";
       },
       RelayedWith({{8, "Content-Type: text/plain;\n\tcharset=\"ISO-8859-1\""}})},
      {"a folded Content-Type with its own charset keeps it",
       [](TIdMessage& m) {
         EditHeader(m, [](Lines& l) { l[9] = "Content-Type: text/plain;"; });
         InsertLines(m, 10, {"\tcharset=us-ascii; format=flowed"});
         m.ContentType = "text/plain; charset=us-ascii; format=flowed";
         m.CharSet = "US-ASCII";
       },
       RelayedWith({{8, "Content-Type: text/plain; charset=us-ascii; format=flowed"}})},
      {"a received X-Priority is replaced in place",
       [](TIdMessage& m) {
         InsertLines(m, 7, {"X-Priority: 1 (Highest)"});
         m.Priority = mpHighest;
       },
       RelayedWith({{5, "Subject: Hello\nX-Priority: 1"}}, {}, "")},
      {"a lower priority without X-Priority line is appended as a number",
       [](TIdMessage& m) {
         InsertLines(m, 7, {"Priority: non-urgent"});
         m.Priority = mpLow;
       },
       RelayedWith({{5, "Subject: Hello\nPriority: non-urgent"}}, {}, "4")},
      {"display names go in quotes with their quotes and backslashes escaped",
       [](TIdMessage& m) { m.From = Item("Doe, \"JD\" \\", "jd@example.org"); },
       RelayedWith({{3, "From: \"Doe, \\\"JD\\\" \\\\\" <jd@example.org>"}})},
      {"8-bit display names and subjects become encoded words",
       [](TIdMessage& m) {
         m.From = Item("J\xF6rg M\xFCller", "j@example.org");
         m.Subject =
             "Gr\xFC\xDF"
             "e aus K\xF6ln";
       },
       RelayedWith({{3, "From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <j@example.org>"},
                    {5, "Subject: =?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?="}})},
      {"Sender, Reply-To and Organization are rewritten in place",
       [](TIdMessage& m) {
         InsertLines(m, 4,
                     {"Sender: <s@example.org>", "Reply-To: Team <team@example.org>, x@y.test",
                      "Organization: ACME"});
         m.Sender = Item("", "s@example.org");
         m.ReplyTo.Add() = Item("Team", "team@example.org");
         m.ReplyTo.Add() = Item("", "x@y.test");
         m.Organization = "ACME";
       },
       RelayedWith({{3,
                     "From: \"John\" <john@example.org>\nSender: s@example.org\n"
                     "Reply-To: \"Team\" <team@example.org>, x@y.test\nOrganization: ACME"}})},
  };
  for (const auto& c : cases) {
    TIdMessage message = Received();
    c.change(message);
    MessageWriter writer;
    writer.Charset = HeaderCharset::Latin1;
    writer.Clock = [] { return At(2004, 12, 8, 9, 0, 0); };
    // Expected entries may hold several lines joined by "\n".
    Lines expected;
    for (const auto& entry : c.expected) {
      std::size_t start = 0;
      for (std::size_t nl; (nl = entry.find('\n', start)) != std::string::npos; start = nl + 1)
        expected.push_back(entry.substr(start, nl - start));
      expected.push_back(entry.substr(start));
    }
    const Lines got = writer.HeaderLines(message);
    EXPECT_EQ(got, expected) << c.name << "\nwant:\n" << Show(expected) << "got:\n" << Show(got);
  }
}

TEST_F(MessageWriterHeader, DateUsesTheLocalOffset) {
  const struct {
    const char* zone;
    TDateTime date;
    const char* expected;
  } cases[] = {
      {"UTC0", At(2004, 12, 7, 10, 1, 2), "Tue, 7 Dec 2004 10:01:02 +0000"},
      {"EST5", At(2021, 1, 31, 23, 59, 59), "Sun, 31 Jan 2021 23:59:59 -0500"},
      {"IST-5:30", At(2000, 2, 29, 0, 0, 0), "Tue, 29 Feb 2000 00:00:00 +0530"},
      {"NST3:30", At(1999, 10, 1, 8, 5, 9), "Fri, 1 Oct 1999 08:05:09 -0330"},
  };
  for (const auto& c : cases) {
    PinZone(c.zone);
    EXPECT_EQ(FormatMessageDate(c.date), c.expected) << "TZ=" << c.zone;
  }
}

TEST_F(MessageWriterHeader, LongEncodedSubjectFoldsBetweenWholeWords) {
  TIdMessage message = Received();
  message.Subject =
      "Unterlagen f\xFCr das Gespr\xE4"
      "ch \xFC"
      "ber die \xC4pfel und das \xD6l, "
      "die Birnen und die Pfl\xE4umen aus dem G\xE4rtchen am Flu\xDF";
  MessageWriter writer;
  writer.Charset = HeaderCharset::Latin1;
  const Lines got = writer.HeaderLines(message);
  for (const auto& line : got) EXPECT_LE(line.size(), 78u) << line;
  auto line =
      std::find_if(got.begin(), got.end(), [](const std::string& l) { return l.rfind("Subject: ", 0) == 0; });
  Lines subject;
  for (; line != got.end() && (subject.empty() || (*line)[0] == ' '); ++line) subject.push_back(*line);
  ASSERT_GE(subject.size(), 3u) << "expected a subject folded between encoded words:\n" << Show(got);
  std::string unfolded;
  for (std::size_t i = 0; i < subject.size(); ++i) {
    unfolded += subject[i];
    // Folding happens only between whole encoded words.
    if (i > 0) {
      EXPECT_EQ(subject[i].substr(subject[i].size() - 2), "?=") << Show(subject);
    }
  }
  EXPECT_EQ(unfolded.rfind("Subject: Unterlagen =?ISO-8859-1?Q?f=FCr_das_Gespr=E4ch_=FCber_", 0), 0u)
      << unfolded;
}

TEST(MessageWriterText, HeaderEmptyLineAndDotStuffedBody) {
  TIdMessage message;
  message.Headers.Lines = {"Subject: s"};
  message.From = Item("", "f@x.test");
  message.Recipients.Add() = Item("", "t@y.test");
  message.Subject = "s";
  message.Date = At(2004, 12, 7, 10, 1, 2);
  message.Body = {"first", ".", ".x", "..", "a.", "", " .lead"};
  MessageWriter writer;
  writer.Charset = HeaderCharset::Latin1;
  std::string text;
  writer.WriteText(message, [&](std::string_view bytes) { text += bytes; });
  const std::string header =
      "Subject: s\r\nFrom: f@x.test\r\nTo: t@y.test\r\nDate: " + FormatMessageDate(message.Date) +
      "\r\nX-Priority: 3\r\n\r\n";
  EXPECT_EQ(text, header + "first\r\n..\r\n..x\r\n...\r\na.\r\n\r\n .lead\r\n");
}

TEST(MessageWriterText, JapaneseBodyConvertedOnlyWhenItClaimsIso2022Jp) {
  const std::string shiftJis = "\x93\xfa\x96\x7b\x8c\xea test";
  const std::string jis = "\x1b$BF|K\\8l\x1b(B test";
  const struct {
    HeaderCharset language;
    const char* declared;
    std::string expected;
  } cases[] = {
      {HeaderCharset::Iso2022Jp, "ISO-2022-JP", jis},
      {HeaderCharset::Iso2022Jp, "UTF-8", shiftJis},  // would corrupt text in another charset
      {HeaderCharset::Iso2022Jp, "", shiftJis},
      {HeaderCharset::Latin1, "ISO-2022-JP", shiftJis},
  };
  for (const auto& c : cases) {
    TIdMessage message;
    message.CharSet = c.declared;
    message.Date = At(2004, 12, 7, 10, 1, 2);
    message.Body = {shiftJis, "plain 7-bit \x1b$B$\"\x1b(B"};
    MessageWriter writer;
    writer.Charset = c.language;
    std::string text;
    writer.WriteText(message, [&](std::string_view bytes) { text += bytes; });
    const std::string body = text.substr(text.find("\r\n\r\n") + 4);
    EXPECT_EQ(body, c.expected + "\r\nplain 7-bit \x1b$B$\"\x1b(B\r\n")
        << "language " << CharsetName(c.language) << ", declared " << c.declared;
  }
}

// From received text through the intake's parsing to the relayed copy, as the
// delivery engine does it for one envelope recipient.
TEST_F(MessageWriterHeader, RelayedCopyOfReceivedText) {
  const Lines received = {
      "Received: from pc.example.org by relay.example.org;",
      "\tTue, 7 Dec 2004 10:00:00 +0100",
      "Message-ID: <1234@pc.example.org>",
      "From: John <john@example.org>",
      "To: a@x.test, \"Bee, B\" <b@y.test>",
      "Cc: c@z.test",
      "Bcc: hidden@q.test",
      "Subject: Hello",
      "Return-Receipt-To: <john@example.org>",
      "MIME-Version: 1.0",
      "Content-Type: text/plain; charset=\"iso-8859-1\"",
  };
  const Lines start = {
      "Received: from pc.example.org by relay.example.org;",
      "\tTue, 7 Dec 2004 10:00:00 +0100",
      "Message-ID: <1234@pc.example.org>",
      "From: \"John\" <john@example.org>",
      "To: b@y.test",
      "Subject: Hello",
  };
  const Lines end = {
      "Return-Receipt-To: <john@example.org>",
      "MIME-Version: 1.0",
      "Content-Type: text/plain; charset=\"iso-8859-1\"",
      "Disposition-Notification-To: john@example.org",
  };
  for (const bool withDate : {true, false}) {
    TIdMessage message;
    message.Headers.Lines = received;
    if (withDate) InsertLines(message, 8, {"Date: Tue, 7 Dec 2004 10:01:02 +0100"});
    message.ProcessHeaders();
    message.Recipients.Clear();
    message.CCList.Clear();
    message.BccList.Clear();
    message.Recipients.Add().Address = "b@y.test";

    MessageWriter writer;
    writer.Charset = HeaderCharset::Latin1;
    writer.Clock = [] { return At(2004, 12, 8, 9, 0, 0); };
    Lines expected = start;
    if (withDate) expected.push_back("Date: Tue, 7 Dec 2004 10:01:02 +0100");
    expected.insert(expected.end(), end.begin(), end.end());
    if (!withDate) expected.push_back("Date: Wed, 8 Dec 2004 09:00:00 +0100");
    expected.push_back("X-Priority: 3");
    const Lines got = writer.HeaderLines(message);
    EXPECT_EQ(got, expected) << (withDate ? "with" : "without") << " Date\nwant:\n"
                             << Show(expected) << "got:\n"
                             << Show(got);
  }
}

namespace {

// The relayed copy's header for received header lines, as the delivery
// engine makes it: the fields filled from the lines, then one envelope
// recipient in To.
Lines CopyHeader(const Lines& received, const TIdEMailAddressItem& recipient = Item("", "rcpt@y.test")) {
  TIdMessage message;
  message.Headers.Lines = received;
  message.ProcessHeaders();
  message.Recipients.Clear();
  message.CCList.Clear();
  message.Recipients.Add() = recipient;
  message.Date = At(2004, 12, 7, 10, 1, 2);
  MessageWriter writer;
  writer.Charset = HeaderCharset::Latin1;
  return writer.HeaderLines(message);
}

// The lines of the copy's header that have one of these names.
Lines Only(const Lines& header, std::initializer_list<std::string> names) {
  Lines out;
  bool keep = false;
  for (const std::string& line : header) {
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      if (keep) out.push_back(line);
      continue;
    }
    keep = false;
    for (const std::string& name : names) keep = keep || line.rfind(name + ":", 0) == 0;
    if (keep) out.push_back(line);
  }
  return out;
}

}  // namespace

// A recipient sees only their own To: every further To and Cc line goes, and
// blind copies go under every spelling, continuation lines included.
TEST_F(MessageWriterHeader, OnlyTheRecipientsOwnToShows) {
  const struct {
    const char* what;
    Lines received;
    Lines expected;
  } cases[] = {
      {"two To and two Cc lines",
       {"To: a@x.test", "Cc: c@x.test", "Subject: s", "To: second@x.test,", " third@x.test", "Cc: d@x.test"},
       {"To: rcpt@y.test", "Subject: s"}},
      {"blanks before the colon",
       {"X-A: 1", "To : a@x.test", "TO\t: b@x.test", "cc  : c@x.test", "X-B: 2"},
       {"X-A: 1", "To: rcpt@y.test", "X-B: 2"}},
      {"blind copies under other spellings",
       {"X-A: 1", "BCC : h@x.test", "Bcc\t: i@x.test,", "\tj@x.test", "Resent-Bcc: k@x.test", " l@x.test",
        "resent-bcc:m@x.test", "X-B: 2"},
       {"X-A: 1", "X-B: 2", "To: rcpt@y.test"}},
      {"a header named like a list but longer stays",
       {"X-To: a@x.test", "Resent-To: r@x.test"},
       {"X-To: a@x.test", "Resent-To: r@x.test", "To: rcpt@y.test"}},
  };
  for (const auto& c : cases) {
    const Lines got = CopyHeader(c.received);
    const Lines kept = Only(got, {"X-A", "X-B", "X-To", "Resent-To", "To", "Subject"});
    EXPECT_EQ(kept, c.expected) << c.what << "\ngot:\n" << Show(got);
    for (const std::string& line : got) {
      const std::string lower = ascii::ToLower(line);
      EXPECT_EQ(lower.find("bcc"), std::string::npos) << c.what << ": " << line;
      EXPECT_EQ(lower.find("cc:"), std::string::npos) << c.what << ": " << line;
    }
  }
}

// Encoded text keeps its charset: a subject the copy leaves alone keeps its
// received encoded words, and a display name written again is encoded in
// the charset it came in (UTF-8 where words of several charsets meet). A
// name of encoded words that are not decoded goes out as it came, unquoted.
TEST_F(MessageWriterHeader, EncodedTextKeepsItsCharset) {
  const struct {
    const char* what;
    std::string received, expected;
  } cases[] = {
      {"ISO-8859-2 subject", "Subject: =?ISO-8859-2?Q?Pawe=B3?=", "Subject: =?ISO-8859-2?Q?Pawe=B3?="},
      {"windows-1252 subject with curly quotes", "Subject: Re: =?windows-1252?Q?=93Angebot=94?= heute",
       "Subject: Re: =?windows-1252?Q?=93Angebot=94?= heute"},
      {"UTF-8 subject", "Subject: =?UTF-8?B?5byg5LiJ?=", "Subject: =?UTF-8?B?5byg5LiJ?="},
      {"8-bit subject without a charset: the language's", "Subject: Gr\xfc\xdf",
       "Subject: =?ISO-8859-1?Q?Gr=FC=DF?="},
      {"ISO-8859-2 name", "From: =?ISO-8859-2?Q?Pawe=B3?= <p@x.test>",
       "From: =?ISO-8859-2?Q?Pawe=B3?= <p@x.test>"},
      {"UTF-8 name, not put in quotes", "From: =?UTF-8?Q?J=C3=B6rg?= <j@x.test>",
       "From: =?UTF-8?Q?J=C3=B6rg?= <j@x.test>"},
      {"names of several charsets meet in UTF-8",
       "From: =?ISO-8859-2?Q?Pawe=B3?= =?windows-1252?Q?_=93P=94?= <p@x.test>",
       "From: =?UTF-8?Q?Pawe=C5=82_=E2=80=9CP=E2=80=9D?= <p@x.test>"},
      {"a name of words that stay encoded, and an atom", "From: =?KOI8-R?B?6cfP0tg=?= Ivanov <i@x.test>",
       "From: =?KOI8-R?B?6cfP0tg=?= Ivanov <i@x.test>"},
      {"Sender decoded like From", "Sender: =?UTF-8?B?5byg5LiJ?= <z@x.test>",
       "Sender: =?UTF-8?B?5byg5LiJ?= <z@x.test>"},
      {"Reply-To decoded like From", "Reply-To: =?ISO-8859-2?Q?Pawe=B3?= <p@x.test>, r@x.test",
       "Reply-To: =?ISO-8859-2?Q?Pawe=B3?= <p@x.test>, r@x.test"},
      {"an encoded receipt name is not quoted",
       "Disposition-Notification-To: =?UTF-8?Q?J=C3=B6rg?= <j@x.test>",
       "Disposition-Notification-To: =?UTF-8?Q?J=C3=B6rg?= <j@x.test>"},
  };
  for (const auto& c : cases) {
    const std::string name = c.expected.substr(0, c.expected.find(':'));
    const Lines got = Only(CopyHeader({c.received}), {name});
    EXPECT_EQ(got, Lines{c.expected}) << c.what;
  }
}

// Addresses in the copy's headers are rendered as the model renders them:
// a local part that is no dot-atom goes in quotes.
TEST_F(MessageWriterHeader, AddressesAreQuotedAsTheModelRendersThem) {
  const struct {
    TIdEMailAddressItem recipient;
    std::string to;
  } cases[] = {
      {Item("", "plain.name@x.test"), "To: plain.name@x.test"},
      {Item("", "john smith@x.test"), "To: <\"john smith\"@x.test>"},
      {Item("", "a\tb@x.test"), "To: <\"a\tb\"@x.test>"},
      {Item("", "j\xf6rg@x.test"), "To: <\"j\xf6rg\"@x.test>"},
      {Item("", std::string("n\0l@x.test", 10)), std::string("To: <\"n\0l\"@x.test>", 18)},
      {Item("", "q\"uote@x.test"), "To: <\"q\\\"uote\"@x.test>"},
      {Item("John Smith", "john smith@x.test"), "To: \"John Smith\" <\"john smith\"@x.test>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Only(CopyHeader({"Subject: s"}, c.recipient), {"To"}), Lines{c.to}) << c.recipient.Address;
  }
}

// Nothing in the text can end the DATA phase early or hide a line from a
// receiver: a header line of "." is stuffed like a body line, and a CR inside
// a line breaks it (in the header the rest continues the same header).
TEST(MessageWriterText, EveryLineIsADataLine) {
  const struct {
    const char* what;
    Lines header, body;
    std::string headerText, bodyText;  // without the generated Date and X-Priority
  } cases[] = {
      {"a header line of one dot, then commands",
       {".", "MAIL FROM:<evil@x.test>", "..x"},
       {},
       "..\r\nMAIL FROM:<evil@x.test>\r\n...x\r\n",
       ""},
      {"a CR inside a header line",
       {"X-Note: a\rRCPT TO:<inj@y.test>", "X-A: 1\r", "X-B: \r\r."},
       {},
       "X-Note: a\r\n RCPT TO:<inj@y.test>\r\nX-A: 1\r\nX-B: \r\n .\r\n",
       ""},
      {"CR, CR LF and LF inside a body line",
       {},
       {"x\r.\rMAIL FROM:<s@evil.test>", "a\r", "b\r\n.c", "\r"},
       "",
       "x\r\n..\r\nMAIL FROM:<s@evil.test>\r\na\r\n\r\nb\r\n..c\r\n\r\n\r\n"},
  };
  for (const auto& c : cases) {
    TIdMessage message;
    message.Headers.Lines = c.header;
    message.Body = c.body;
    message.Date = At(2004, 12, 7, 10, 1, 2);
    MessageWriter writer;
    writer.Charset = HeaderCharset::Latin1;
    std::string text;
    writer.WriteText(message, [&](std::string_view bytes) { text += bytes; });
    const std::string generated = "Date: " + FormatMessageDate(message.Date) + "\r\nX-Priority: 3\r\n\r\n";
    EXPECT_EQ(text, c.headerText + generated + c.bodyText) << c.what;
  }
}
