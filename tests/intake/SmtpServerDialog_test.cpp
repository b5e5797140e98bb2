// The server side of the SMTP dialog, driven over loopback connections
// (reply bytes checked exactly) and, where the hidden dialog state matters,
// over plain strings.
#include "intake/SmtpServerDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ListenerFixture.h"
#include "support/StringLineIO.h"
#include "support/Timing.h"

using testing_support::Eventually;
using testing_support::ListenerFixture;
using testing_support::MailRecorder;
using testing_support::SmtpWireClient;
using testing_support::StringLineIO;

namespace {

const std::string kStartData = "354 Start mail input; end with <CRLF>.<CRLF>\r\n";
const std::string kMailExample = "501 Parameter error! Example: mail from:<user@example.com>\r\n";
const std::string kRcptExample = "501 Command parameter error! Example: rcpt to:<user@example.com>\r\n";

int LineCount(const std::string& wire) {
  return static_cast<int>(std::count(wire.begin(), wire.end(), '\n'));
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

const char* Name(TDialogState state) {
  static const char* const names[] = {"None", "Helo", "Mail", "Rcpt", "Data"};
  return names[static_cast<int>(state)];
}

// The commands that bring a fresh connection into each dialog state.
std::vector<std::string> PathTo(TDialogState state) {
  switch (state) {
    case TDialogState::None:
      return {};
    case TDialogState::Helo:
      return {"HELO c"};
    case TDialogState::Mail:
      return {"HELO c", "MAIL FROM:<a@x.org>"};
    case TDialogState::Rcpt:
      return {"HELO c", "MAIL FROM:<a@x.org>", "RCPT TO:<b@y.org>"};
    case TDialogState::Data:
      return {"HELO c", "MAIL FROM:<a@x.org>", "RCPT TO:<b@y.org>", "DATA", "Subject: s", "", "text", "."};
  }
  return {};
}

// How many replies the path to a state gets: one per command, and one
// more for the end of the message text.
int RepliesOnPath(TDialogState state) {
  return state == TDialogState::Data ? 5 : static_cast<int>(PathTo(state).size());
}

// Brings a fresh connection into a state; every reply on the way is positive.
void Reach(SmtpWireClient& client, TDialogState state) {
  for (const std::string& line : PathTo(state)) client.Send(line);
  for (int i = 0; i < RepliesOnPath(state); ++i) {
    const std::string reply = client.ReadRawLine();
    ASSERT_TRUE(reply[0] == '2' || reply[0] == '3') << "on the way to " << Name(state) << ": " << reply;
  }
}

int RecipientsIn(TDialogState state) {
  return state == TDialogState::Rcpt || state == TDialogState::Data ? 1 : 0;
}

struct Transition {
  TDialogState from;
  std::vector<std::string> lines;  // the command, and message text after DATA
  std::string reply;               // every byte the server answers
  TDialogState to;
  int recipients;  // envelope recipients afterwards
};

using S = TDialogState;
const std::string kHelloOk = "250 Hello c\r\n";
const std::string kSequence = "503 \r\n";
const std::string kNoHello = "501 Polite people say HELO\r\n";
const std::string kMailOk = "250 a@x.org Address Okay\r\n";
const std::string kRcptOk = "250 b@y.org Address Okay\r\n";
const std::string kOk = "250 Ok\r\n";
const std::vector<std::string> kHelo = {"HELO c"}, kMail = {"MAIL FROM:<a@x.org>"},
                               kMailBad = {"MAIL <a@x.org>"}, kRcpt = {"RCPT TO:<b@y.org>"},
                               kRcptBad = {"RCPT <b@y.org>"}, kData = {"DATA", "Subject: s", "", "text", "."},
                               kRset = {"RSET"};

// Every cell of the dialog's state table.
const std::vector<Transition> kStateTable = {
    {S::None, kHelo, kHelloOk, S::Helo, 0},
    {S::None, kMail, kNoHello, S::None, 0},
    {S::None, kMailBad, kNoHello, S::None, 0},
    {S::None, kRcpt, kSequence, S::None, 0},
    {S::None, kRcptBad, kSequence, S::None, 0},
    {S::None, {"DATA"}, kSequence, S::None, 0},
    {S::None, kRset, kOk, S::None, 0},

    {S::Helo, kHelo, kSequence, S::Helo, 0},
    {S::Helo, kMail, kMailOk, S::Mail, 0},
    {S::Helo, kMailBad, kMailExample, S::Helo, 0},
    {S::Helo, kRcpt, kSequence, S::Helo, 0},
    {S::Helo, kRcptBad, kSequence, S::Helo, 0},
    {S::Helo, {"DATA"}, kSequence, S::Helo, 0},
    {S::Helo, kRset, kOk, S::Helo, 0},

    {S::Mail, kHelo, kSequence, S::Mail, 0},
    {S::Mail, kMail, kMailOk, S::Mail, 0},
    {S::Mail, kMailBad, kMailExample, S::Helo, 0},
    {S::Mail, kRcpt, kRcptOk, S::Rcpt, 1},
    {S::Mail, kRcptBad, kRcptExample, S::Mail, 0},
    {S::Mail, {"DATA"}, kSequence, S::Mail, 0},
    {S::Mail, kRset, kOk, S::Helo, 0},

    {S::Rcpt, kHelo, kSequence, S::Rcpt, 1},
    {S::Rcpt, kMail, kMailOk, S::Mail, 0},
    {S::Rcpt, kMailBad, kMailExample, S::Helo, 0},
    {S::Rcpt, kRcpt, kRcptOk, S::Rcpt, 2},
    {S::Rcpt, kRcptBad, kRcptExample, S::Rcpt, 1},
    {S::Rcpt, kData, kStartData + kOk, S::Data, 1},
    {S::Rcpt, kRset, kOk, S::Helo, 0},

    {S::Data, kHelo, kSequence, S::Data, 1},
    {S::Data, kMail, kMailOk, S::Mail, 0},
    {S::Data, kMailBad, kMailExample, S::Helo, 0},
    {S::Data, kRcpt, kSequence, S::Data, 1},
    {S::Data, kRcptBad, kSequence, S::Data, 1},
    {S::Data, {"DATA"}, kSequence, S::Data, 1},
    {S::Data, kRset, kOk, S::Helo, 0},
};

// Lines that leave every state as it is, with their replies.
const std::vector<std::pair<std::string, std::string>> kStateKeepers = {
    {"EHLO c", "500 Command Not Recognised\r\n"},
    {"NOOP", "250 Ok\r\n"},
    {"VRFY b@y.org", "500 Syntax Error - Command not understood: b@y.org\r\n"},
    {"AUTH LOGIN", "500 Syntax Error - Command not understood: LOGIN\r\n"},
    {"XYZZY", "500 Syntax Error\r\n"},
    {"", ""},
};

// Replies to a path of commands over strings; the dialog's state is then
// in thread.
struct StringDialog {
  SmtpConnectionThread thread{std::make_unique<os::TcpStream>()};
  StringLineIO io;
  SmtpDialogSettings settings;
  SmtpServerDialog dialog{thread, io, settings};

  std::string Run(const std::vector<std::string>& lines) {
    io.Feed(lines);
    while (io.HasInput()) dialog.ServeNextCommand();
    return io.TakeSent();
  }
};

}  // namespace

TEST(SmtpServerDialog, StateTableOverStrings) {
  auto check = [](S from, const std::vector<std::string>& lines, const std::string& reply, S to,
                  int recipients) {
    StringDialog d;
    d.Run(PathTo(from));
    ASSERT_EQ(d.thread.DialogState, from);
    EXPECT_EQ(d.Run(lines), reply) << "in " << Name(from) << " for " << lines[0];
    EXPECT_EQ(d.thread.DialogState, to) << "in " << Name(from) << " for " << lines[0] << ": got "
                                        << Name(d.thread.DialogState) << ", want " << Name(to);
    EXPECT_EQ(d.thread.EnvelopeRecipients().Count(), recipients)
        << "in " << Name(from) << " for " << lines[0];
  };
  for (const Transition& t : kStateTable) check(t.from, t.lines, t.reply, t.to, t.recipients);
  for (S state : {S::None, S::Helo, S::Mail, S::Rcpt, S::Data}) {
    for (const auto& [line, reply] : kStateKeepers) check(state, {line}, reply, state, RecipientsIn(state));
  }
}

class DialogOverLoopback : public ListenerFixture {};

TEST_F(DialogOverLoopback, StateTableReplyBytes) {
  Start();
  auto check = [&](S from, const std::vector<std::string>& lines, const std::string& reply) {
    auto client = Greeted();
    Reach(*client, from);
    for (const std::string& line : lines) client->Send(line);
    EXPECT_EQ(client->ReadRawLines(LineCount(reply)), reply) << "in " << Name(from) << " for " << lines[0];
    // Nothing more than that: the next reply belongs to the next command.
    EXPECT_EQ(client->Command("NOOP"), "250 Ok\r\n") << "in " << Name(from) << " after " << lines[0];
  };
  for (const Transition& t : kStateTable) check(t.from, t.lines, t.reply);
  for (S state : {S::None, S::Helo, S::Mail, S::Rcpt, S::Data}) {
    for (const auto& [line, reply] : kStateKeepers) check(state, {line}, reply);
  }
}

TEST_F(DialogOverLoopback, CommandWordMatching) {
  Start();
  auto client = Greeted();
  const std::pair<std::string, std::string> cases[] = {
      {"noop", "250 Ok\r\n"},
      {"NOOP", "250 Ok\r\n"},
      {"NoOp", "250 Ok\r\n"},
      {"NOOP ", "250 Ok\r\n"},
      {"NOOP anything at all", "250 Ok\r\n"},
      {"NOOPX", "500 Syntax Error\r\n"},
      {" NOOP", "500 Syntax Error\r\n"},
      {"NOOP\tx", "500 Syntax Error\r\n"},
      {"QUITE", "500 Syntax Error\r\n"},
      {"HELP", "500 Syntax Error - Command not understood: \r\n"},
      {"help me", "500 Syntax Error - Command not understood: me\r\n"},
      {"VRFY  two  spaces ", "500 Syntax Error - Command not understood:  two  spaces \r\n"},
      {"EXPN list", "500 Syntax Error - Command not understood: list\r\n"},
      {"SOML x", "500 Syntax Error - Command not understood: x\r\n"},
      {"SEND x", "500 Syntax Error - Command not understood: x\r\n"},
      {"SAML x", "500 Syntax Error - Command not understood: x\r\n"},
      {"TURN", "500 Syntax Error - Command not understood: \r\n"},
      {"AUTH PLAIN AGFAAGI=", "500 Syntax Error - Command not understood: PLAIN AGFAAGI=\r\n"},
      {"EHLO client", "500 Command Not Recognised\r\n"},
      {"helo client", "250 Hello client\r\n"},  // served normally after EHLO
      {"RSET", "250 Ok\r\n"},
      {"HELO again", "503 \r\n"},  // also after RSET
  };
  for (const auto& [line, reply] : cases) EXPECT_EQ(client->Command(line), reply) << "for [" << line << "]";
}

TEST_F(DialogOverLoopback, HeloWithoutParameterAndEmptyLines) {
  Start();
  auto client = Greeted();
  client->SendRaw("\r\n\n\r\n");  // empty lines get no reply
  EXPECT_EQ(client->Command("HELO"), "250 Hello \r\n");
  client->SendRaw("\r\n");
  EXPECT_EQ(client->Command("NOOP"), "250 Ok\r\n");
}

TEST_F(DialogOverLoopback, EchoedTextKeepsTheReplyOneLine) {
  Start();
  auto client = Greeted();
  // The line ends at the LF; the CR before it goes, the bare CR inside stays
  // in the parameter and must not reach the reply as a line end.
  client->SendRaw("HELO a\rb\x01\tc\x7F\r\r\n");
  EXPECT_EQ(client->ReadRawLine(), "250 Hello a b  c  \r\n");
  client->SendRaw("VRFY x\ry\r\n");
  EXPECT_EQ(client->ReadRawLine(), "500 Syntax Error - Command not understood: x y\r\n");
  EXPECT_EQ(client->Command("NOOP"), "250 Ok\r\n");
}

TEST_F(DialogOverLoopback, SenderAndRecipientForms) {
  Start();
  const std::pair<std::string, std::string> cases[] = {
      {"MAIL FROM:<alice@example.com>", "250 alice@example.com Address Okay\r\n"},
      {"mail from:<alice@example.com>", "250 alice@example.com Address Okay\r\n"},
      {"Mail From: <alice@example.com>", "250 alice@example.com Address Okay\r\n"},
      {"MAIL FROM:  <alice@example.com>  ", "250 alice@example.com Address Okay\r\n"},
      {"MAIL FROM:<>", "250  Address Okay\r\n"},
      {"MAIL FROM <alice@example.com>", kMailExample},
      {"MAIL", kMailExample},
      {"RCPT TO:<bob@example.org>", "250 bob@example.org Address Okay\r\n"},
      {"rcpt to: Bob Builder <bob@example.org>", "250 Bob Builder <bob@example.org> Address Okay\r\n"},
      {"RCPT TO:\"Smith, Bob\" <bob@example.org>", "250 \"Smith, Bob\" <bob@example.org> Address Okay\r\n"},
      {"RCPT TO <bob@example.org>", kRcptExample},
  };
  for (const auto& [line, reply] : cases) {
    auto client = Greeted();
    ASSERT_EQ(client->Command("HELO c"), kHelloOk);
    if (line.rfind("RCPT", 0) == 0 || line.rfind("rcpt", 0) == 0) {
      ASSERT_EQ(client->Command("MAIL FROM:<a@x.org>"), kMailOk);
    }
    EXPECT_EQ(client->Command(line), reply) << "for [" << line << "]";
  }
}

TEST_F(DialogOverLoopback, RecipientsTravelInOrderWithDuplicatesAndFreshAfterMail) {
  Start();
  auto client = Greeted();
  OpenTransaction(*client, "<first@example.org>");
  EXPECT_EQ(client->Command("RCPT TO:Second <second@example.org>"),
            "250 Second <second@example.org> Address Okay\r\n");
  EXPECT_EQ(client->Command("RCPT TO:<first@example.org>"), "250 first@example.org Address Okay\r\n");
  client->SendRaw("DATA\r\nSubject: one\r\n\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kStartData + kOk);
  // A new MAIL starts over with no recipients.
  EXPECT_EQ(client->Command("MAIL FROM:<>"), "250  Address Okay\r\n");
  EXPECT_EQ(client->Command("DATA"), kSequence);
  EXPECT_EQ(client->Command("RCPT TO:<third@example.org>"), "250 third@example.org Address Okay\r\n");
  client->SendRaw("DATA\r\nSubject: two\r\n\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kStartData + kOk);

  const auto mails = recorder->Mails();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].Recipients, (std::vector<std::string>{"first@example.org", "Second <second@example.org>",
                                                           "first@example.org"}));
  EXPECT_EQ(mails[0].EnvelopeFrom, "alice@example.com");
  EXPECT_EQ(mails[1].Recipients, (std::vector<std::string>{"third@example.org"}));
  EXPECT_EQ(mails[1].EnvelopeFrom, "");
}

// Rejected addresses: an "@" after the closed address, and any CR, LF or NUL
// inside it (which would reach an exchanger's command line).
TEST_F(DialogOverLoopback, RejectedAddressEndsTheConnectionWithoutReply) {
  Start();
  using namespace std::string_literals;
  for (const std::string& line :
       {"MAIL FROM:<a@x.org> b@y.org"s, "RCPT TO:<b@y.org>@"s, "MAIL FROM:<a@x.org\rRCPT TO:<inj@evil.org>>"s,
        "RCPT TO:<b@y.org\rDATA>"s, "RCPT TO:\"b\r\"@y.org"s, "MAIL FROM:<a\0@x.org>"s,
        "RCPT TO:<b@y\0.org>"s}) {
    auto client = Greeted();
    ASSERT_EQ(client->Command("HELO c"), kHelloOk);
    if (line[0] == 'R') {
      ASSERT_EQ(client->Command("MAIL FROM:<a@x.org>"), kMailOk);
    }
    client->Send(line);
    EXPECT_TRUE(client->ClosedWithoutReply()) << "for [" << line << "]";
  }
}

TEST_F(DialogOverLoopback, MessageTextPhasesAndDotTransparency) {
  Start();
  struct Case {
    std::string name;
    std::string text;  // what follows DATA, final dot included
    std::vector<std::string> headers, body;
  } cases[] = {
      {"header and body",
       "From: a@x.org\r\nSubject: folded\r\n\tcontinued\r\n\r\nline 1\r\n\r\nline 3\r\n.\r\n",
       {"From: a@x.org", "Subject: folded", "\tcontinued"},
       {"line 1", "", "line 3"}},
      {"dots",
       "Subject: d\r\n..Hidden: x\r\n\r\n..x\r\n..\r\n. \r\n.x\r\n...\r\n.\r\n",
       {"Subject: d", ".Hidden: x"},
       {".x", ".", ". ", ".x", ".."}},
      {"no empty line",
       "Subject: only headers\r\nX-Other: y\r\n.\r\n",
       {"Subject: only headers", "X-Other: y"},
       {}},
      {"empty text", ".\r\n", {}, {}},
      {"bare LF and stray CR",
       "Subject: lf\n\nbody\rwith CR\r\r\nlast\n.\n",
       {"Subject: lf"},
       {"body\rwith CR\r", "last"}},
      {"bytes kept",
       "Subject: =?ISO-8859-1?Q?caf=E9?= \xe9\r\n\r\n\xff\xfe\x01\r\n.\r\n",
       {"Subject: =?ISO-8859-1?Q?caf=E9?= \xe9"},
       {"\xff\xfe\x01"}},
  };
  std::size_t seen = 0;
  for (const Case& c : cases) {
    auto client = Greeted();
    OpenTransaction(*client);
    ASSERT_EQ(client->Command("DATA"), kStartData);
    client->SendRaw(c.text);
    EXPECT_EQ(client->ReadRawLine(), kOk) << c.name;
    const auto mails = recorder->Mails();
    ASSERT_EQ(mails.size(), ++seen) << c.name;
    EXPECT_EQ(Joined(mails.back().Headers), Joined(c.headers)) << c.name;
    EXPECT_EQ(Joined(mails.back().Body), Joined(c.body)) << c.name;
  }
}

TEST_F(DialogOverLoopback, LineLengthLimitInCommandsAndMessageText) {
  Start();
  // "NOOP " and padding, so that the whole line has the given length.
  auto noop = [](std::size_t length) { return "NOOP " + std::string(length - 5, 'x'); };
  struct Case {
    std::string bytes;
    bool served;
  } commands[] = {
      {noop(16383) + "\r\n", true}, {noop(16384) + "\n", true}, {noop(16384) + "\r\n", false},
      {noop(16385) + "\n", false},  {noop(20000), false},  // no line end yet, already too long
  };
  for (const Case& c : commands) {
    auto client = Greeted();
    client->SendRaw(c.bytes);
    if (c.served) {
      EXPECT_EQ(client->ReadRawLine(), "250 Ok\r\n") << c.bytes.size() << " bytes";
    } else {
      EXPECT_TRUE(client->ClosedWithoutReply()) << c.bytes.size() << " bytes";
    }
  }

  const std::string line16383(16383, 'b'), line16384(16384, 'c');
  struct TextCase {
    std::string text;
    bool delivered;
    std::string bodyLine;
  } texts[] = {
      {"S: x\r\n\r\n" + line16383 + "\r\n.\r\n", true, line16383},
      {"S: x\r\n\r\n" + line16384 + "\n.\r\n", true, line16384},
      {"S: x\r\n\r\n" + line16384 + "\r\n.\r\n", false, ""},
      {std::string(16384, 'h') + "\r\n\r\nbody\r\n.\r\n", false, ""},  // in the header phase
  };
  for (const TextCase& c : texts) {
    const std::size_t before = recorder->Count();
    auto client = Greeted();
    OpenTransaction(*client);
    ASSERT_EQ(client->Command("DATA"), kStartData);
    client->SendRaw(c.text);
    if (c.delivered) {
      EXPECT_EQ(client->ReadRawLine(), kOk);
      ASSERT_EQ(recorder->Count(), before + 1);
      ASSERT_EQ(recorder->Mails().back().Body.size(), 1u);
      EXPECT_TRUE(recorder->Mails().back().Body[0] == c.bodyLine) << "body line of " << c.bodyLine.size();
    } else {
      EXPECT_TRUE(client->ClosedWithoutReply()) << "text of " << c.text.size() << " bytes";
      EXPECT_EQ(recorder->Count(), before) << "nothing may be delivered";
    }
  }
}

TEST_F(DialogOverLoopback, CustomErrorIsTheWholeReplyAndKeepsTheRecipients) {
  Start();
  recorder->Set(MailRecorder::Behaviour::CustomError, " \t550 Invalid recipient: bob@example.org \r\n\x01");
  auto client = Greeted();
  OpenTransaction(*client);
  client->SendRaw("DATA\r\nSubject: 1\r\n\r\nx\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kStartData + "550 Invalid recipient: bob@example.org\r\n");
  // Still in the recipient state: another DATA hands the same envelope over.
  recorder->Set(MailRecorder::Behaviour::Accept);
  client->SendRaw("DATA\r\nSubject: 2\r\n\r\ny\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kStartData + kOk);
  EXPECT_EQ(client->Command("RCPT TO:<late@example.org>"), kSequence);  // now past the message

  const auto mails = recorder->Mails();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[1].Recipients, mails[0].Recipients);
  EXPECT_EQ(mails[1].Recipients, (std::vector<std::string>{"bob@example.org"}));

  // Blank and control characters alone count as no custom error.
  recorder->Set(MailRecorder::Behaviour::CustomError, " \r\n\t ");
  client->SendRaw("MAIL FROM:<a@x.org>\r\nRCPT TO:<b@y.org>\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kMailOk + kRcptOk);
  client->SendRaw("DATA\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLines(2), kStartData + kOk);
}

// A long custom reply, such as one naming many failed recipients, goes out
// as a multi-line reply of the same code, every line within 512 octets with
// its CR LF, breaking at blanks, nothing of the text lost, and no control
// character inside a line.
TEST_F(DialogOverLoopback, LongCustomErrorContinuesOverLinesWithinTheLimit) {
  Start();
  std::string text = "Invalid recipient: ";
  std::vector<std::string> addresses;
  for (int i = 0; i < 1500; ++i) {
    addresses.push_back("user" + std::to_string(i) + (i % 100 == 7 ? "\t\r" : "") + "@example.org");
    text += (i ? ", " : "") + addresses.back();
  }
  recorder->Set(MailRecorder::Behaviour::CustomError, "550 " + text);
  auto client = Greeted();
  OpenTransaction(*client);
  client->SendRaw("DATA\r\nSubject: 1\r\n\r\nx\r\n.\r\n");
  ASSERT_EQ(client->ReadRawLine(), kStartData);
  std::string joined;
  for (int n = 0;; ++n) {
    ASSERT_LT(n, 1000) << "no last line";
    const std::string line = client->ReadRawLine();
    ASSERT_GE(line.size(), 6u) << line;
    EXPECT_LE(line.size(), 512u);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    for (std::size_t i = 0; i + 2 < line.size(); ++i)
      ASSERT_GE(static_cast<unsigned char>(line[i]), 0x20) << "control character at " << i << " of " << line;
    EXPECT_EQ(line.substr(0, 3), "550");
    joined += (joined.empty() ? "" : " ") + line.substr(4, line.size() - 6);
    if (line[3] == ' ') break;
    ASSERT_EQ(line[3], '-') << line;
  }
  std::string expected = text;
  for (char& c : expected)
    if (c == '\t' || c == '\r') c = ' ';
  EXPECT_EQ(joined, expected);
}

TEST(CustomReplyWireForm, ShortLinesStayWholeLongOnesBreakAtBlanks) {
  const std::string longWord(600, 'w');
  const struct {
    const char* name;
    std::string reply;
    std::string wire;
  } cases[] = {
      {"short reply unchanged", "550 Invalid recipient: a@x.org", "550 Invalid recipient: a@x.org\r\n"},
      {"control characters become blanks",
       "550 a\tb\x01"
       "c\x7F",
       "550 a b c \r\n"},
      {"a word longer than a line is cut", "550 " + longWord,
       "550-" + longWord.substr(0, 506) + "\r\n550 " + longWord.substr(506) + "\r\n"},
      {"break at the last blank that fits", "550 " + std::string(500, 'a') + " " + std::string(10, 'b'),
       "550-" + std::string(500, 'a') + "\r\n550 " + std::string(10, 'b') + "\r\n"},
      {"no code: cut to one line", std::string(600, 'z'), std::string(510, 'z') + "\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(CustomReplyWireForm(c.reply), c.wire) << c.name;
}

TEST_F(DialogOverLoopback, ThrowingHandlerClosesTheConnectionWithoutReply) {
  Start();
  recorder->Set(MailRecorder::Behaviour::Throw);  // it also sets a custom error first
  auto client = Greeted();
  OpenTransaction(*client);
  client->SendRaw("DATA\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
  EXPECT_EQ(client->ReadRawLine(), kStartData);
  EXPECT_TRUE(client->ClosedWithoutReply());
  EXPECT_EQ(recorder->Count(), 1u);
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
}

TEST_F(DialogOverLoopback, PeerGoneDuringMessageTextDeliversNothing) {
  Start();
  {
    auto client = Greeted();
    OpenTransaction(*client);
    ASSERT_EQ(client->Command("DATA"), kStartData);
    client->SendRaw("Subject: cut off\r\n\r\nhalf a line");
  }
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
  EXPECT_EQ(recorder->Count(), 0u);
}

TEST_F(DialogOverLoopback, QuitSignsOffAndCloses) {
  Start();
  for (S state : {S::None, S::Mail, S::Data}) {
    auto client = Greeted();
    Reach(*client, state);
    EXPECT_EQ(client->Command("quit"), "221 Signing Off\r\n") << "in " << Name(state);
    EXPECT_TRUE(client->ClosedWithoutReply()) << "in " << Name(state);
  }
  EXPECT_TRUE(Eventually([&] { return server.ThreadCount() == 0; }));
}
