#include "platform/PrivateFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace os {

bool IsPrivateFolder(const std::string& path, uid_t uid) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
         (info.st_mode & 077) == 0;
}

PrivateFolderChoice ChoosePrivateFolder(const std::string& runtimeDir, const std::string& tmpBase,
                                        uid_t uid) {
  if (!runtimeDir.empty() && runtimeDir.front() == '/' && IsPrivateFolder(runtimeDir, uid))
    return {runtimeDir, ""};
  const std::string folder = tmpBase + "/postwick-" + std::to_string(uid);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return {"", "cannot create the folder " + folder + ": " + std::strerror(errno)};
  if (!IsPrivateFolder(folder, uid))
    return {"", "the folder " + folder + " is not private to this user (owner or permissions); remove it"};
  return {folder, ""};
}

}  // namespace os
