// Points a test's SMTP client at a loopback exchanger, and builds the plain
// one-recipient message the client tests send.
#pragma once

#include <cstdint>
#include <string>

#include "delivery/IdSMTP.h"
#include "support/FakeSmtpServer.h"

namespace testing_support {

inline void Aim(TIdSMTP& smtp, const std::string& ip, uint16_t port, int readTimeout = 5000) {
  smtp.Host = ip;
  smtp.Port = port;
  smtp.ReadTimeout = readTimeout;
  smtp.HeloName = "me.test";
  smtp.Writer.Charset = HeaderCharset::Latin1;
}

inline void Aim(TIdSMTP& smtp, const FakeSmtpServer& fake, int readTimeout = 5000) {
  Aim(smtp, fake.Ip(), fake.Port(), readTimeout);
}

// From sender@x.test to `to`, subject "Test", a fixed date, and a body whose
// last line is a lone dot (so it goes out doubled).
inline TIdMessage PlainMessage(const std::string& to) {
  TIdMessage m;
  m.Headers.Lines = {"Subject: Test"};
  m.From.Address = "sender@x.test";
  m.Recipients.Add().Address = to;
  m.Subject = "Test";
  m.Date = EncodeDateTime({2004, 12, 7, 10, 1, 2, 0});
  m.Body = {"Hello", "."};
  return m;
}

}  // namespace testing_support
