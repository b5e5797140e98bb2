// Thunderbird's outgoing servers as mail accounts: every server of
// mail.smtpservers in every profile of profiles.ini. Pointing one at this
// relay sets its host, port, security and authentication to what the relay
// speaks (localhost, ListenPort, no TLS, no password) and the profile's
// connection time-out to 600 s; the former values are kept verbatim in prefs
// of our own under the same server ("postwick_old_<pref>"), so clearing the
// tick gives them back, also after a restart. A server whose former pref was
// absent has no saved copy, and restoring removes the pref again.
//
// A running Thunderbird rewrites prefs.js when it exits, so a profile it
// holds is never changed. Before the first change prefs.js is copied to
// prefs.js.postwick-backup; every write is atomic and leaves all other lines
// as they were.
#pragma once

#include <string>
#include <vector>

#include "core/MailAccountSource.h"
#include "core/ThunderbirdPrefs.h"

class ThunderbirdSource : public MailAccountSource {
 public:
  // Folders that may hold a profiles.ini, searched in order.
  explicit ThunderbirdSource(std::vector<std::string> roots) : roots_(std::move(roots)) {}
  // ~/.thunderbird, and where the Flatpak and Snap packages keep it.
  static std::vector<std::string> DefaultRoots(const std::string& home);

  std::string ProgramName() const override { return "Thunderbird"; }
  void ReadMailAccounts(std::vector<std::string>& list) override;
  std::string WhyNotWritable(const std::vector<MailAccountChange>& changes) override;
  bool ApplyChanges(const std::vector<MailAccountChange>& changes, const std::string& listenPort) override;
  int UpdateAccountPorts(const std::string& listenPort) override;

  // The key path of a server: the profile folder, a backslash, the server key.
  static std::string KeyPath(const std::string& profileFolder, const std::string& serverKey);
  static constexpr const char* kBackupSuffix = ".postwick-backup";

 private:
  struct Profile {
    std::string name;
    std::string folder;
  };
  std::vector<Profile> Profiles() const;
  std::string ProfileNameOf(const std::string& folder) const;

  std::vector<std::string> roots_;
};

// The prefs changes for one server, on a profile's prefs in memory; false
// when nothing needed changing.
bool ConfigureThunderbirdServer(ThunderbirdPrefs& prefs, const std::string& serverKey, unsigned port);
bool RestoreThunderbirdServer(ThunderbirdPrefs& prefs, const std::string& serverKey);
// The server keys of mail.smtpservers, in order, blanks dropped.
std::vector<std::string> ThunderbirdServerKeys(const ThunderbirdPrefs& prefs);
