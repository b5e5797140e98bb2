// The relayed copy on the wire, through the whole relay to a recording
// loopback exchanger: nothing a mail program puts into a message's text can
// end the copy early or reach the exchanger as a command.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/RelayHarness.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

class RelayedCopyWire : public ::testing::Test {
 protected:
  void SetUp() override { harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}}); }

  // Sends the text lines (header, empty line, body) to ann@a.test and
  // returns the reply to its end.
  std::string Send(const Lines& lines) {
    MailToSend mail;
    mail.rcptTo = {"ann@a.test"};
    mail.lines = lines;
    SmtpSession session(harness_.RelayPort());
    return session.Send(mail);
  }

  FakeSmtpServer& Exchanger() { return harness_.Exchanger(0); }

  RelayHarness harness_{1};
};

// Every command the exchanger was sent in its sessions, in order.
Lines Commands(const FakeSmtpServer& exchanger) {
  Lines commands;
  for (const FakeSmtpSession& session : exchanger.Sessions())
    commands.insert(commands.end(), session.commands.begin(), session.commands.end());
  return commands;
}

}  // namespace

// A header line ".." reaches the relay as "."; written as it is, it would end
// DATA at the exchanger and the lines after it would run there as commands.
TEST_F(RelayedCopyWire, HeaderLineOfOneDotCannotEndTheCopy) {
  const Lines lines = {"From: <sender@home.test>",
                       "To: <ann@a.test>",
                       ".",  // sent as ".." by the mail program
                       "MAIL FROM:<evil@x.test>",
                       "RCPT TO:<victim@a.test>",
                       "DATA",
                       "Subject: smuggled",
                       "",
                       "the body"};
  EXPECT_EQ(Send(lines), "250 Ok");

  ASSERT_EQ(Exchanger().MessageCount(), 1);
  const FakeSmtpMessage copy = Exchanger().Messages().front();
  EXPECT_EQ(copy.mailFrom, "sender@home.test");
  EXPECT_EQ(copy.rcptTo, Lines{"ann@a.test"});
  const Lines header = copy.HeaderLines();
  for (const char* line : {".", "MAIL FROM:<evil@x.test>", "RCPT TO:<victim@a.test>", "DATA"})
    EXPECT_NE(std::find(header.begin(), header.end(), line), header.end())
        << "missing from the copy: " << line;
  EXPECT_EQ(copy.BodyLines(), Lines{"the body"});
  const Lines commands = Commands(Exchanger());
  EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                          [](const std::string& c) { return c.rfind("MAIL FROM", 0) == 0; }),
            1);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "."), 1);
}

// Receivers that end lines at a bare CR would see a "." line and a command
// in "x\r.\rMAIL FROM:..."; the copy carries each CR as a line break, with
// the dot of the line after it doubled, so every receiver sees the same.
TEST_F(RelayedCopyWire, BareCarriageReturnsGoOutAsLineBreaks) {
  const Lines lines = {"From: <sender@home.test>",
                       "To: <ann@a.test>",
                       "X-Note: a\rRCPT TO:<inj@y.test>",
                       "Subject: s",
                       "",
                       "x\r.\rMAIL FROM:<s@evil.test>",
                       "end\r"};
  EXPECT_EQ(Send(lines), "250 Ok");

  ASSERT_EQ(Exchanger().MessageCount(), 1);
  const FakeSmtpMessage copy = Exchanger().Messages().front();
  for (const std::string& line : copy.wireLines) EXPECT_EQ(line.find('\r'), std::string::npos) << line;
  EXPECT_EQ(copy.BodyLines(), (Lines{"x", ".", "MAIL FROM:<s@evil.test>", "end", ""}));
  const Lines header = copy.HeaderLines();
  const auto note = std::find(header.begin(), header.end(), "X-Note: a");
  ASSERT_NE(note, header.end());
  EXPECT_EQ(*(note + 1), " RCPT TO:<inj@y.test>");  // the rest of the header line continues it
  EXPECT_EQ(copy.rcptTo, Lines{"ann@a.test"});
}
