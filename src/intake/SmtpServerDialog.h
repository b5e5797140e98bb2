// The server side of the SMTP dialog: a command table with one handler per
// command. It reads and writes lines through SmtpLineIO, so it runs on a
// socket in the listener and on plain strings in tests alike.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "intake/IdEMailAddress.h"
#include "intake/IdMessage.h"
#include "intake/ServerReplies.h"
#include "intake/SmtpConnectionThread.h"

// Lines in, replies out.
class SmtpLineIO {
 public:
  virtual ~SmtpLineIO() = default;
  // The next line without its line end. Throws when the connection fails
  // or the line is too long.
  virtual std::string ReadLine() = 0;
  // Sends one whole reply (its line ends included) at once.
  virtual void Send(std::string_view reply) = 0;
  // Ends the connection (after QUIT).
  virtual void Disconnect() = 0;
  virtual bool Connected() const = 0;
};

// Called on the connection thread with each received message; the dialog
// goes on when it returns. Setting customError (a whole reply line, code
// first) replaces the normal end-of-data reply. Throwing ends the connection
// without a reply. The message is freed when the call returns.
using SmtpReceiveMessageHandler = std::function<void(SmtpConnectionThread& sender, TIdMessage& msg,
                                                     TIdEMailAddressList& rcpt, std::string& customError)>;

struct SmtpDialogSettings {
  SmtpReceiveMessageHandler OnReceiveMessage;
  TReply ReplyUnknownCommand{replies::kUnknownCommandCode, {std::string(replies::kUnknownCommand)}};
};

class SmtpServerDialog {
 public:
  // The state lives in thread; settings and io must outlive the dialog.
  SmtpServerDialog(SmtpConnectionThread& thread, SmtpLineIO& io, const SmtpDialogSettings& settings)
      : thread_(thread), io_(io), settings_(settings) {}

  // Reads one command line and serves it. Throws what the line reader or a
  // handler throws; the caller then ends the connection without a reply.
  void ServeNextCommand() { Serve(io_.ReadLine()); }
  // Serves one command line (without its line end).
  void Serve(const std::string& line);

 private:
  using Handler = void (SmtpServerDialog::*)(const std::string& params);
  struct Command {
    std::string_view Word;
    int ReplyCode;  // fixed reply written after the handler; 0 and no text: none
    std::string_view ReplyText;
    Handler Run;  // may be null
    bool Disconnects;
  };
  static const std::array<Command, 16> kCommands;

  void Refuse(const std::string& params);
  void Reset(const std::string& params);
  void Data(const std::string& params);
  void Hello(const std::string& params);
  void ExtendedHello(const std::string& params);
  void Mail(const std::string& params);
  void Recipient(const std::string& params);

  // Reads the message text up to the line of a single dot.
  void ReceiveText(TIdMessage& msg);
  void Reply(int code, std::string_view text) { io_.Send(ReplyLine(code, text)); }
  void ReplyWhole(std::string_view line);

  SmtpConnectionThread& thread_;
  SmtpLineIO& io_;
  const SmtpDialogSettings& settings_;
};

// True when line invokes word: the whole line is the word, or the word and
// one space begin it; letter case is ignored. params gets what follows.
bool MatchCommandWord(std::string_view line, std::string_view word, std::string& params);
