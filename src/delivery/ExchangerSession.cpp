#include "delivery/ExchangerSession.h"

#include "delivery/DeliveryTexts.h"
#include "delivery/SmtpReplies.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"

namespace {

// An exchanger that ends the session says so with this code.
constexpr int kServiceClosing = 421;

std::string JoinReplyLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The status a failed host attempt leaves: a dropped connection says so;
// a refused command gives the refusing reply's text; any other failure after
// the greeting (a read time-out, a socket error) gives its own text, since
// the client's last reply then answered an earlier command.
std::string FailedAttemptStatus(const TIdSMTP& smtp, const EFailure* failure) {
  if (smtp.ClosedGracefully()) return delivery_text::kConnectionFailed;
  if (failure == nullptr || dynamic_cast<const ESmtpReplyError*>(failure) != nullptr)
    return JoinReplyLines(smtp.LastReplyText());
  return failure->what();
}

}  // namespace

ExchangerSession::ExchangerSession(TIdSMTP& smtp, ExchangerSlots& slots, StopCheck stopping)
    : smtp_(smtp), slots_(slots), stopping_(std::move(stopping)) {}

ExchangerSession::~ExchangerSession() { Close(); }

bool ExchangerSession::Deliver(const std::string& host, const TIdMessage& copy, const TIdMessage& bodySource,
                               std::string& status) {
  if (kept_ && ascii::EqualNoCase(host_, host)) {
    if (Transact(copy, bodySource, status)) return true;
    // Only an exchanger that ended the session between two copies gets
    // this copy again, on a new connection, as it would have had it first.
    if (!usedUp_ || stopping_()) {
      Close();
      return false;
    }
  }
  Close();
  if (!slots_.Acquire(host, stopping_)) {
    status = delivery_text::kConnectionFailed;
    return false;
  }
  host_ = host;
  try {
    smtp_.Host = host;
    smtp_.Connect(kMxConnectTimeoutMs);
  } catch (const EFailure& failure) {
    status = FailedAttemptStatus(smtp_, &failure);
    Close();
    return false;
  } catch (const std::exception&) {
    status = FailedAttemptStatus(smtp_, nullptr);
    Close();
    return false;
  }
  if (Transact(copy, bodySource, status)) return true;
  Close();
  return false;
}

bool ExchangerSession::Transact(const TIdMessage& copy, const TIdMessage& bodySource, std::string& status) {
  const bool wasKept = kept_;
  kept_ = false;
  usedUp_ = false;
  try {
    smtp_.Send(copy, bodySource);
    kept_ = true;
    return true;
  } catch (const EFailure& failure) {
    status = FailedAttemptStatus(smtp_, &failure);
    usedUp_ = wasKept && SessionWasUsedUp(&failure);
  } catch (const std::exception&) {
    status = FailedAttemptStatus(smtp_, nullptr);
    usedUp_ = wasKept && SessionWasUsedUp(nullptr);
  }
  return false;
}

bool ExchangerSession::SessionWasUsedUp(const EFailure* failure) const {
  if (smtp_.TextStarted()) return false;
  if (smtp_.ClosedGracefully()) return true;
  const auto* refusal = dynamic_cast<const ESmtpReplyError*>(failure);
  return refusal != nullptr && refusal->Code() == kServiceClosing;
}

void ExchangerSession::Close() {
  kept_ = false;
  if (host_.empty()) return;
  try {
    smtp_.Disconnect();
  } catch (...) {
    // The connection is going anyway.
  }
  slots_.Release(host_);
  host_.clear();
}
