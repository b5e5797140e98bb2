// The controller as the windows see it (WindowHost over TDummyForm).
#pragma once

#include "ui/WindowHost.h"

class TDummyForm;

namespace ui {

class ControllerHost : public WindowHost {
 public:
  explicit ControllerHost(TDummyForm& controller) : controller_(controller) {}

  std::string ProductName() const override;
  std::string UserDnsServer() const override;
  std::string ListenPort() const override;
  bool LocalOnly() const override;
  void SaveDNS(const std::string& server) override;
  void SavePort(const std::string& port, bool localOnly) override;
  void UpdateAccountPorts() override;
  int64_t SentCount() const override;
  int64_t FailedCount() const override;
  void ZeroSentCount() override;
  void ZeroFailedCount() override;
  int ThreadLoad() const override;
  QAction* Action(HostAction which) const override;
  void OpenHelp(int context) override;

 private:
  TDummyForm& controller_;
};

}  // namespace ui
