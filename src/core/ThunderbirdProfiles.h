// Thunderbird's profiles: the [ProfileN] sections of profiles.ini in its
// root folder, and whether a running Thunderbird holds a profile.
#pragma once

#include <string>
#include <vector>

struct ThunderbirdProfile {
  std::string Name;    // as the profile manager shows it
  std::string Folder;  // absolute
};

// The profiles listed in root/profiles.ini, in file order; none when the
// file is missing. A relative Path is taken below root.
std::vector<ThunderbirdProfile> ReadThunderbirdProfiles(const std::string& root);

// True while a Thunderbird process holds the profile: its "lock" symlink
// names a process that is alive (the symlink names "address:+pid"), or
// another process holds the fcntl lock of ".parentlock". A symlink left by
// a crash, whose process is gone, does not count; one that cannot be read
// as a process number does.
bool ThunderbirdProfileInUse(const std::string& folder);
