// A folder for a user's sockets and locks that nobody else can enter: the
// session's runtime folder when there is one, else a folder of the user's
// own under /tmp. A folder someone else made or opened up is never trusted,
// since whoever controls it could block or impersonate what lives there.
#pragma once

#include <sys/types.h>

#include <string>

namespace os {

// True when the path is a folder (not a link to one) owned by `uid` that no
// other user may read, write or enter.
bool IsPrivateFolder(const std::string& path, uid_t uid);

struct PrivateFolderChoice {
  std::string folder;   // empty when none could be had
  std::string problem;  // why not, for the user
};

// runtimeDir: the value of XDG_RUNTIME_DIR (used when it is an absolute path
// to a private folder). Otherwise tmpBase + "/postwick-" + uid, created with
// mode 0700 when missing and checked for owner and mode when present.
PrivateFolderChoice ChoosePrivateFolder(const std::string& runtimeDir, const std::string& tmpBase, uid_t uid);

}  // namespace os
