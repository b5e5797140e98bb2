// The accounts of the account store file (the mail program's registry keys
// kept on disk): listed, pointed at this relay and restored with the
// OLD_HOST, OLD_PORT and OLD_TIMEOUT values saved in the account's own key.
#pragma once

#include <string>

#include "core/MailAccountSource.h"

class AccountStoreSource : public MailAccountSource {
 public:
  explicit AccountStoreSource(std::string storeFile) : storeFile_(std::move(storeFile)) {}

  std::string ProgramName() const override { return "Outlook Express"; }
  void ReadMailAccounts(std::vector<std::string>& list) override;
  std::string WhyNotWritable(const std::vector<MailAccountChange>&) override { return {}; }
  bool ApplyChanges(const std::vector<MailAccountChange>& changes, const std::string& listenPort) override;
  int UpdateAccountPorts(const std::string& listenPort) override;

 private:
  std::string storeFile_;
};
