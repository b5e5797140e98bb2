#include "core/ThunderbirdSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/ThunderbirdProfiles.h"
#include "platform/AsciiText.h"
#include "platform/TextFile.h"

namespace {

// The server prefs that the relay changes, with the values it speaks:
// plain SMTP (socketType 0) without authentication (authMethod 1).
constexpr const char* kServerFields[] = {"hostname", "port", "socketType", "authMethod"};
constexpr const char* kTimeoutPref = "mailnews.tcptimeout";
constexpr long long kRelayTimeout = 600;
constexpr long long kDefaultTimeout = 100;
constexpr long long kDefaultPort = 25;
constexpr long long kDefaultTlsPort = 465;
constexpr long long kTlsSocketType = 3;

std::string ServerPref(const std::string& key, const std::string& field) {
  return "mail.smtpserver." + key + "." + field;
}

std::string SavedPref(const std::string& key, const std::string& field) {
  return ServerPref(key, "postwick_old_" + field);
}

bool IsConfigured(const ThunderbirdPrefs& prefs, const std::string& key) {
  return prefs.Token(SavedPref(key, "hostname")).has_value();
}

// Sets a pref unless it already holds the token; true when it changed.
bool Put(ThunderbirdPrefs& prefs, const std::string& name, const std::string& token) {
  if (prefs.Token(name) == token) return false;
  prefs.SetToken(name, token);
  return true;
}

// Another server of the profile that is pointed at the relay, if any: the
// time-out is shared by the profile, so its saved copy is the original one.
std::optional<std::string> OtherConfiguredServer(const ThunderbirdPrefs& prefs, const std::string& key) {
  for (const std::string& other : ThunderbirdServerKeys(prefs)) {
    if (other != key && IsConfigured(prefs, other)) return other;
  }
  return std::nullopt;
}

std::string PrefsFile(const std::string& folder) { return folder + "/prefs.js"; }

// Splits a key path at its last backslash into profile folder and server key.
std::pair<std::string, std::string> SplitKeyPath(const std::string& keyPath) {
  const std::size_t slash = keyPath.rfind('\\');
  if (slash == std::string::npos) return {keyPath, {}};
  return {keyPath.substr(0, slash), keyPath.substr(slash + 1)};
}

// Writes prefs.js through a temporary file; a symlinked prefs.js keeps its
// link and the file it points at is replaced.
bool WritePrefs(const std::string& folder, const std::string& original, const std::string& text) {
  std::error_code error;
  std::string path = PrefsFile(folder);
  if (std::filesystem::is_symlink(path, error)) path = std::filesystem::canonical(path, error).string();
  if (error) return false;
  const std::string backup = PrefsFile(folder) + ThunderbirdSource::kBackupSuffix;
  if (!os::FileExists(backup)) {
    if (!os::WriteFileAtomically(backup, original)) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) ::chmod(backup.c_str(), info.st_mode & 07777);
  }
  return os::WriteFileAtomically(path, text);
}

}  // namespace

std::vector<std::string> ThunderbirdServerKeys(const ThunderbirdPrefs& prefs) {
  std::vector<std::string> keys;
  const std::string list = prefs.String("mail.smtpservers").value_or("");
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string key = ascii::TrimSpaces(list.substr(start, comma - start));
    if (!key.empty() && std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    start = comma + 1;
  }
  return keys;
}

bool ConfigureThunderbirdServer(ThunderbirdPrefs& prefs, const std::string& key, unsigned port) {
  bool changed = false;
  if (!IsConfigured(prefs, key)) {
    std::optional<std::string> timeout = prefs.Token(kTimeoutPref);
    if (const auto other = OtherConfiguredServer(prefs, key))
      timeout = prefs.Token(SavedPref(*other, "tcptimeout"));
    if (timeout) prefs.SetToken(SavedPref(key, "tcptimeout"), *timeout);
    for (const char* field : kServerFields) {
      const auto token = prefs.Token(ServerPref(key, field));
      if (token) prefs.SetToken(SavedPref(key, field), *token);
    }
    // The saved host marks the server as configured, so it is always there.
    if (!IsConfigured(prefs, key)) prefs.SetString(SavedPref(key, "hostname"), "");
    changed = true;
  }
  changed |= Put(prefs, ServerPref(key, "hostname"), ThunderbirdPrefs::Quote("localhost"));
  changed |= Put(prefs, ServerPref(key, "port"), std::to_string(port));
  changed |= Put(prefs, ServerPref(key, "socketType"), "0");
  changed |= Put(prefs, ServerPref(key, "authMethod"), "1");
  changed |= Put(prefs, kTimeoutPref, std::to_string(kRelayTimeout));
  return changed;
}

bool RestoreThunderbirdServer(ThunderbirdPrefs& prefs, const std::string& key) {
  if (!IsConfigured(prefs, key)) return false;
  for (const char* field : kServerFields) {
    const auto saved = prefs.Token(SavedPref(key, field));
    if (saved) {
      prefs.SetToken(ServerPref(key, field), *saved);
    } else {
      prefs.Remove(ServerPref(key, field));
    }
    prefs.Remove(SavedPref(key, field));
  }
  const auto timeout = prefs.Token(SavedPref(key, "tcptimeout"));
  prefs.Remove(SavedPref(key, "tcptimeout"));
  // The time-out is the profile's: it stays raised while another server
  // still goes through the relay.
  if (!OtherConfiguredServer(prefs, key)) {
    if (timeout) {
      prefs.SetToken(kTimeoutPref, *timeout);
    } else {
      prefs.Remove(kTimeoutPref);
    }
  }
  return true;
}

std::vector<std::string> ThunderbirdSource::DefaultRoots(const std::string& home) {
  return {home + "/.thunderbird", home + "/.var/app/org.mozilla.Thunderbird/.thunderbird",
          home + "/snap/thunderbird/common/.thunderbird"};
}

std::string ThunderbirdSource::KeyPath(const std::string& profileFolder, const std::string& serverKey) {
  return profileFolder + "\\" + serverKey;
}

std::vector<ThunderbirdSource::Profile> ThunderbirdSource::Profiles() const {
  std::vector<Profile> profiles;
  for (const std::string& root : roots_) {
    for (const ThunderbirdProfile& found : ReadThunderbirdProfiles(root)) {
      const bool seen = std::any_of(profiles.begin(), profiles.end(),
                                    [&](const Profile& p) { return p.folder == found.Folder; });
      // The folder travels in the account line, so it must not hold the separator.
      if (!seen && found.Folder.find(kMailAccountSeparator) == std::string::npos) {
        profiles.push_back(Profile{found.Name, found.Folder});
      }
    }
  }
  return profiles;
}

std::string ThunderbirdSource::ProfileNameOf(const std::string& folder) const {
  for (const Profile& profile : Profiles()) {
    if (profile.folder == folder) return profile.name;
  }
  return folder;
}

void ThunderbirdSource::ReadMailAccounts(std::vector<std::string>& list) {
  list.clear();
  for (const Profile& profile : Profiles()) {
    std::string text;
    if (!os::ReadWholeFile(PrefsFile(profile.folder), text)) continue;
    const ThunderbirdPrefs prefs(text);
    for (const std::string& key : ThunderbirdServerKeys(prefs)) {
      MailAccount account;
      account.SmtpServer = prefs.String(ServerPref(key, "hostname")).value_or("");
      if (ascii::TrimSpaces(account.SmtpServer).empty()) continue;
      std::string label = prefs.String(ServerPref(key, "description")).value_or("");
      if (ascii::TrimSpaces(label).empty()) label = prefs.String(ServerPref(key, "username")).value_or("");
      // A server pointed at the relay keeps the name of its own host.
      if (ascii::TrimSpaces(label).empty()) label = prefs.String(SavedPref(key, "hostname")).value_or("");
      if (ascii::TrimSpaces(label).empty()) label = account.SmtpServer;
      account.AccountName = "Thunderbird (" + profile.name + "): " + label;
      long long port = prefs.Integer(ServerPref(key, "port")).value_or(0);
      if (port <= 0) {
        const bool tls = prefs.Integer(ServerPref(key, "socketType")).value_or(0) == kTlsSocketType;
        port = tls ? kDefaultTlsPort : kDefaultPort;
      }
      account.SmtpPort = std::to_string(port);
      account.SmtpTimeout = std::to_string(prefs.Integer(kTimeoutPref).value_or(kDefaultTimeout));
      account.Configured = IsConfigured(prefs, key);
      account.KeyPath = KeyPath(profile.folder, key);
      list.push_back(JoinMailAccount(account));
    }
  }
}

std::string ThunderbirdSource::WhyNotWritable(const std::vector<MailAccountChange>& changes) {
  std::vector<std::string> held;
  for (const MailAccountChange& change : changes) {
    const std::string folder = SplitKeyPath(change.Account.KeyPath).first;
    const std::string name = "\"" + ProfileNameOf(folder) + "\"";
    if (std::find(held.begin(), held.end(), name) == held.end() && ThunderbirdProfileInUse(folder)) {
      held.push_back(name);
    }
  }
  if (held.empty()) return {};
  return "Thunderbird is running with the profile " + JoinProgramNames(held) +
         ". Please close Thunderbird first, then press Ok again.";
}

bool ThunderbirdSource::ApplyChanges(const std::vector<MailAccountChange>& changes,
                                     const std::string& listenPort) {
  std::map<std::string, std::vector<const MailAccountChange*>> byProfile;
  for (const MailAccountChange& change : changes) {
    byProfile[SplitKeyPath(change.Account.KeyPath).first].push_back(&change);
  }
  bool changed = false;
  for (const auto& [folder, profileChanges] : byProfile) {
    std::string original;
    if (ThunderbirdProfileInUse(folder) || !os::ReadWholeFile(PrefsFile(folder), original)) continue;
    ThunderbirdPrefs prefs(original);
    bool profileChanged = false;
    for (const MailAccountChange* change : profileChanges) {
      const std::string key = SplitKeyPath(change->Account.KeyPath).second;
      const auto keys = ThunderbirdServerKeys(prefs);
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) continue;
      profileChanged |= change->Configure ? ConfigureThunderbirdServer(prefs, key, AccountPortFor(listenPort))
                                          : RestoreThunderbirdServer(prefs, key);
    }
    if (profileChanged && WritePrefs(folder, original, prefs.Text())) changed = true;
  }
  return changed;
}

int ThunderbirdSource::UpdateAccountPorts(const std::string& listenPort) {
  const unsigned port = AccountPortFor(listenPort);
  if (std::to_string(port) != listenPort) return 0;
  int updated = 0;
  for (const Profile& profile : Profiles()) {
    std::string original;
    if (ThunderbirdProfileInUse(profile.folder) || !os::ReadWholeFile(PrefsFile(profile.folder), original)) {
      continue;
    }
    ThunderbirdPrefs prefs(original);
    int profileUpdated = 0;
    for (const std::string& key : ThunderbirdServerKeys(prefs)) {
      const auto savedHost = prefs.String(SavedPref(key, "hostname"));
      if (!savedHost || ascii::TrimSpaces(*savedHost).empty()) continue;
      Put(prefs, ServerPref(key, "port"), std::to_string(port));
      ++profileUpdated;
    }
    if (profileUpdated > 0 && prefs.Text() != original) {
      if (!WritePrefs(profile.folder, original, prefs.Text())) continue;
    }
    updated += profileUpdated;
  }
  return updated;
}
