#include "log/ProblemWarnings.h"

#include "log/OperationLog.h"

std::string SendErrorsWarningText(const std::string& productName) {
  const std::string providers = kFreeMailProviders;
  return productName + " encountered more than " + std::to_string(TOperationLog::kFailingDomainLimit) +
         " sending errors one after another. It means that "
         "there is a high probability that port 25 is closed by your Internet servive provider. "
         "It may also mean that you are trying to send a lot of emails to a single free email "
         "provider like " +
         providers +
         ", etc., which have antispam protection "
         "blocking your IP address on each handful of emails sent. Give your ISP a call to "
         "find out about the port 25, and use another ISP if the port 25 is blocked by your "
         "current ISP. If you are going to send a lot of emails to a single free email provider "
         "like " +
         providers +
         ", etc., use your ISP's SMTP account instead of "
         "this local SMTP server!";
}

std::string DnsWarningText(const std::string& productName) {
  return productName +
         " could not detect your DNS server automatically, "
         "which is required for relaying your email messages. Possibly, you are just not "
         "connected to the Internet, or by some reasons your Windows was unable to detect "
         "your current ISP's DNS server. You need to connect to the Internet before you "
         "send your email messages, or you need to specify your DNS server manually in the "
         "main window of the program, which can be opened by using the Open menu item of the "
         "program's tray icon. Please, click the button Help for more information.";
}

PartialDeliveryNote MakePartialDeliveryNote(const std::string& subject, int delivered,
                                            const std::vector<std::string>& failed) {
  // A tray note has little room: name the first few, count the rest.
  constexpr std::size_t kNamed = 5;
  const int total = delivered + static_cast<int>(failed.size());
  PartialDeliveryNote note;
  note.title =
      "Message delivered to " + std::to_string(delivered) + " of " + std::to_string(total) + " recipients";
  std::string names;
  for (std::size_t i = 0; i < failed.size() && i < kNamed; ++i) names += (i ? ", " : "") + failed[i];
  if (failed.size() > kNamed) names += " and " + std::to_string(failed.size() - kNamed) + " more";
  const std::string message = subject.empty() ? "Your message" : "\"" + subject + "\"";
  note.text = message + " was not delivered to " + names +
              ". The other recipients have it: send it again to these only (see the log for the reasons).";
  return note;
}

DnsWarningGate::DnsWarningGate(Clock clock) : clock_(std::move(clock)) {
  if (!clock_) {
    clock_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now().time_since_epoch());
    };
  }
}

bool DnsWarningGate::Accept() {
  const std::chrono::milliseconds now = clock_();
  if (accepted_) {
    // Whole seconds, rounded half up: 6.4 s counts as 6, 6.5 s as 7.
    const long long elapsedMs = (now - last_).count();
    const long long seconds = (elapsedMs < 0 ? -elapsedMs + 500 : elapsedMs + 500) / 1000;
    if (seconds < kMinimumSeconds) return false;
  }
  accepted_ = true;
  last_ = now;
  return true;
}
