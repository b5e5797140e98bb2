// What the windows need of the controller, and nothing more: the settings
// they show and store, the counters, the actions they run and the help. The
// controller's adapter implements it; tests may hand windows their own.
#pragma once

#include <cstdint>
#include <string>

class QAction;

namespace ui {

// The controller's actions that windows show or run.
enum class HostAction {
  Open,
  LogAction,
  MailCfgAction,
  HomePage,
  OtherProducts,
  ContactUs,
  HelpAction,
  AboutProgram,
  ExitAction
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;

  virtual std::string ProductName() const = 0;

  // Settings as the controller holds them, and its store operations.
  virtual std::string UserDnsServer() const = 0;
  virtual std::string ListenPort() const = 0;
  virtual bool LocalOnly() const = 0;
  virtual void SaveDNS(const std::string& server) = 0;
  virtual void SavePort(const std::string& port, bool localOnly) = 0;
  // Gives the mail program accounts pointed at this relay the stored port.
  virtual void UpdateAccountPorts() = 0;

  // Recipients delivered and failed, and the live connection threads in
  // percent of the listen queue (0..100).
  virtual int64_t SentCount() const = 0;
  virtual int64_t FailedCount() const = 0;
  virtual void ZeroSentCount() = 0;
  virtual void ZeroFailedCount() = 0;
  virtual int ThreadLoad() const = 0;

  virtual QAction* Action(HostAction which) const = 0;
  // Opens a help topic (1000 ... 1007).
  virtual void OpenHelp(int context) = 0;
};

}  // namespace ui
