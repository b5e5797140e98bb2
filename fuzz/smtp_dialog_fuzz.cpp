// Feeds arbitrary command lines and message text to the SMTP server dialog
// and checks what must always hold: every reply is one line of a code, a
// space and text ended by CR LF, and the dialog state agrees with the
// envelope it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "intake/SmtpServerDialog.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"
#include "support/StringLineIO.h"

namespace {

// Lines as the connection cuts them: at LF, one CR before it dropped.
std::vector<std::string> ScriptLines(std::string_view data) {
  std::vector<std::string> lines;
  while (!data.empty()) {
    const std::size_t lf = data.find('\n');
    std::string_view line = data.substr(0, lf);
    data = lf == std::string_view::npos ? std::string_view() : data.substr(lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
  }
  return lines;
}

// What was sent is whole reply lines, each a three-digit code, a space and
// text, ended by CR LF.
bool WellFormedReplies(std::string_view sent) {
  while (!sent.empty()) {
    const std::size_t lf = sent.find('\n');
    if (lf == std::string_view::npos) return false;
    const std::string_view reply = sent.substr(0, lf + 1);
    const bool wellFormed = reply.size() >= 6 && reply[reply.size() - 2] == '\r' &&
                            ascii::IsDigit(reply[0]) && ascii::IsDigit(reply[1]) &&
                            ascii::IsDigit(reply[2]) && reply[3] == ' ';
    if (!wellFormed) return false;
    sent.remove_prefix(lf + 1);
  }
  return true;
}

void CheckState(SmtpConnectionThread& thread) {
  const int recipients = thread.EnvelopeRecipients().Count();
  bool consistent = !thread.EhloSeen && (thread.DialogState == TDialogState::None) == !thread.HeloSeen;
  if (thread.DialogState == TDialogState::Mail) consistent = consistent && recipients == 0;
  if (thread.DialogState == TDialogState::Rcpt || thread.DialogState == TDialogState::Data)
    consistent = consistent && recipients > 0;
  if (thread.DialogState == TDialogState::None || thread.DialogState == TDialogState::Helo)
    consistent = consistent && recipients == 0 && thread.EnvelopeFrom.empty();
  if (!consistent) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing_support::StringLineIO io;
  io.Feed(ScriptLines(std::string_view(reinterpret_cast<const char*>(data), size)));
  SmtpConnectionThread thread(std::make_unique<os::TcpStream>());
  SmtpDialogSettings settings;
  settings.OnReceiveMessage = [](SmtpConnectionThread&, TIdMessage& msg, TIdEMailAddressList& rcpt,
                                 std::string& customError) {
    if (rcpt.Count() == 0) std::abort();  // DATA is only served with recipients
    if (msg.Body == std::vector<std::string>{"refuse"}) customError = "550 Invalid recipient: x@y";
  };
  SmtpServerDialog dialog(thread, io, settings);
  try {
    while (io.HasInput() && io.Connected()) {
      dialog.ServeNextCommand();
      if (!WellFormedReplies(io.TakeSent())) std::abort();
      CheckState(thread);
    }
  } catch (const EFailure&) {
    // A rejected address or the end of the script: the connection would close.
  }
  if (!WellFormedReplies(io.TakeSent())) std::abort();
  return 0;
}
