// Without a display there are no windows: what the controller asks them to
// show goes to standard error as one line each instead, in the windows' own
// words and under their rules (the DNS warning at most every 7 seconds). The
// windows connect to the same signals when the program runs on a desktop.
// A headless run also says where it listens and which DNS server it uses,
// at start and whenever the server in use changes.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "log/ProblemWarnings.h"

class TDummyForm;

class HeadlessReporter {
 public:
  HeadlessReporter(std::string productName, std::FILE* out, DnsWarningGate::Clock clock = {});

  // "Open" says so, so that an open request visibly reached this instance.
  void ShowOpen();
  // "Warning: " and the warning's text.
  void ShowSendErrorsWarning();
  void ShowDnsWarning();
  // "Warning: " and the note's title and text.
  void ShowPartialDelivery(const std::string& title, const std::string& text);
  // The listener runs: its port, who may connect, the DNS server in use.
  void ShowListening(int port, bool localOnly, const std::string& dnsServer);
  // The DNS server in use, when it is not the one last said (nothing before
  // ShowListening).
  void ShowDnsServer(const std::string& dnsServer);
  // A line of its own, as given (a failed log save).
  void ShowProblem(const std::string& text);

 private:
  void Print(const std::string& line);

  std::string productName_;
  std::FILE* out_;
  DnsWarningGate dnsGate_;
  std::optional<std::string> dnsServerSaid_;
};

// Connects a reporter on standard error (tests give a file) to the
// controller's requests; it lives as long as the controller.
void ReportOnStandardError(TDummyForm& controller, std::FILE* out = stderr);

// For --verbose, with or without a display: one line on standard error for
// every copy an exchanger took, its host and whether it went over TLS.
void ReportDeliveredCopies(TDummyForm& controller);
