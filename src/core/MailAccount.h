// One mail program account as the configuration window lists it, and the
// text line it travels in between an account source and the window: six
// fields separated by 0x03 (name, server, port, timeout, configured flag,
// key path), taken apart by position.
#pragma once

#include <string>

inline constexpr char kMailAccountSeparator = '\x03';

struct MailAccount {
  std::string AccountName;
  std::string SmtpServer;
  std::string SmtpPort;     // decimal text
  std::string SmtpTimeout;  // decimal text
  bool Configured = false;  // pointed at this relay, with the former values saved
  std::string KeyPath;      // where the source finds the account again
};

std::string JoinMailAccount(const MailAccount& account);
// Missing fields are empty; an empty field still counts as a field, and the
// key path is everything after the fifth separator.
MailAccount SplitMailAccount(const std::string& line);

// The port an account is given for ListenPort: its number when it is a
// decimal port number, else 25, the port the listener then uses.
unsigned AccountPortFor(const std::string& listenPort);
