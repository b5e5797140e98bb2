// The two problem warnings: their texts and how often the DNS warning may
// come back. Shown in a window on a desktop and as one line on standard
// error when headless; both use what is here.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Three free mail providers that throttle a sender after a handful of
// messages; the send-errors warning names them.
inline constexpr const char* kFreeMailProviders = "gmail.com, yahoo.com, outlook.com";

// "<product> encountered more than 20 sending errors one after another. ..."
std::string SendErrorsWarningText(const std::string& productName);
// "<product> could not detect your DNS server automatically, ..."
std::string DnsWarningText(const std::string& productName);

// The note shown after a message that reached some of its recipients but not
// all: mail programs treat the refusal of any recipient as a failure of the
// whole message, so without it a user sends again to everyone and the
// delivered recipients get the message twice.
struct PartialDeliveryNote {
  std::string title;
  std::string text;
};
PartialDeliveryNote MakePartialDeliveryNote(const std::string& subject, int delivered,
                                            const std::vector<std::string>& failed);

// Limits the DNS warning: a request is accepted unless the last accepted one
// was less than 7 seconds ago (rounded to whole seconds). An accepted request
// shows the warning, or brings the open one to the front.
class DnsWarningGate {
 public:
  using Clock = std::function<std::chrono::milliseconds()>;
  static constexpr long long kMinimumSeconds = 7;

  // The clock counts from any fixed point; a monotonic one by default, so
  // setting the computer's clock neither silences nor repeats the warning.
  explicit DnsWarningGate(Clock clock = {});

  // True when the warning may show now; remembers the time when it may.
  bool Accept();

 private:
  Clock clock_;
  bool accepted_ = false;
  std::chrono::milliseconds last_{0};
};
