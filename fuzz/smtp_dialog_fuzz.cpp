// Feeds arbitrary command lines and message text to the SMTP server dialog
// and checks what must always hold: every reply is one line of a code, a
// space and text ended by CR LF, and the dialog state agrees with the
// envelope it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>

#include "intake/SmtpServerDialog.h"
#include "platform/Failure.h"

namespace {

class ScriptIO : public SmtpLineIO {
 public:
  explicit ScriptIO(std::string_view data) {
    // Lines as the connection cuts them: at LF, one CR before it dropped.
    while (!data.empty()) {
      const std::size_t lf = data.find('\n');
      std::string_view line = data.substr(0, lf);
      data = lf == std::string_view::npos ? std::string_view() : data.substr(lf + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.emplace_back(line);
    }
  }
  std::string ReadLine() override {
    if (lines_.empty()) throw EConnectionClosed();
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
  }
  void Send(std::string_view reply) override {
    const bool wellFormed = reply.size() >= 6 && reply.substr(reply.size() - 2) == "\r\n" &&
                            reply.find('\n') == reply.size() - 1 && IsDigit(reply[0]) && IsDigit(reply[1]) &&
                            IsDigit(reply[2]) && reply[3] == ' ';
    if (!wellFormed) std::abort();
  }
  void Disconnect() override { connected_ = false; }
  bool Connected() const override { return connected_; }
  bool Done() const { return lines_.empty() || !connected_; }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  std::deque<std::string> lines_;
  bool connected_ = true;
};

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
  ScriptIO io(std::string_view(reinterpret_cast<const char*>(data), size));
  SmtpConnectionThread thread(std::make_unique<net::TcpStream>());
  SmtpDialogSettings settings;
  settings.OnReceiveMessage = [](SmtpConnectionThread&, TIdMessage& msg, TIdEMailAddressList& rcpt,
                                 std::string& customError) {
    if (rcpt.Count() == 0) std::abort();  // DATA is only served with recipients
    if (msg.Body == std::vector<std::string>{"refuse"}) customError = "550 Invalid recipient: x@y";
  };
  SmtpServerDialog dialog(thread, io, settings);
  try {
    while (!io.Done()) {
      dialog.ServeNextCommand();
      CheckState(thread);
    }
  } catch (const EFailure&) {
    // A rejected address or the end of the script: the connection would close.
  }
  return 0;
}
