// Where the configuration window finds mail program accounts and how it
// points them at this relay and back. Each mail program is one source; the
// window and UpdateAccountPorts treat them all alike.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/MailAccount.h"

// One row whose tick differs from what was loaded: configure points the
// account at the relay, otherwise its former values come back.
struct MailAccountChange {
  MailAccount Account;  // as listed
  bool Configure = false;
};

class MailAccountSource {
 public:
  virtual ~MailAccountSource() = default;

  // The program whose accounts these are, as the restart message names it.
  virtual std::string ProgramName() const = 0;
  // Clears the list and fills it with one MailAccount line per account.
  virtual void ReadMailAccounts(std::vector<std::string>& list) = 0;
  // Empty when the changes can be written now, else the message that says
  // why not (the program holds its settings open). Nothing is written.
  virtual std::string WhyNotWritable(const std::vector<MailAccountChange>& changes) = 0;
  // Writes the changes; true when at least one account changed.
  virtual bool ApplyChanges(const std::vector<MailAccountChange>& changes, const std::string& listenPort) = 0;
  // Gives every account configured for this relay the port; returns how many.
  virtual int UpdateAccountPorts(const std::string& listenPort) = 0;
};

using MailAccountSources = std::vector<std::unique_ptr<MailAccountSource>>;

// The sources of this user: the account store file and Thunderbird's profiles
// under home.
MailAccountSources UserMailAccountSources(const std::string& accountStoreFile, const std::string& home);
// The same with the home folder of $HOME (or, without it, the password file).
MailAccountSources UserMailAccountSources(const std::string& accountStoreFile);

// UpdateAccountPorts over every source; returns the accounts written.
int UpdateAccountPorts(const MailAccountSources& sources, const std::string& listenPort);

// "A", "A and B", "A, B and C".
std::string JoinProgramNames(const std::vector<std::string>& names);
