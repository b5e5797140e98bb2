// Local (AF_UNIX) stream sockets by path. A name that starts with a NUL byte
// is in Linux's abstract namespace, which has no file.
#pragma once

#include <chrono>
#include <string>

#include "platform/Fd.h"

namespace os {

// Connects, retrying while the listen queue is full until the time limit;
// an invalid Fd when nobody listens there (errno tells why: ENOENT,
// ECONNREFUSED, ETIMEDOUT, ...). The descriptor returned blocks.
Fd ConnectUnixSocket(const std::string& name, std::chrono::milliseconds limit);

// Binds and listens. Binding fails when anything exists at the path, so a
// live socket file is never replaced. An invalid Fd on failure, with errno.
Fd ListenUnixSocket(const std::string& name, int backlog);

// Waits until the descriptor has data (or an end) to read; false when the
// time limit passed first.
bool WaitReadable(int fd, std::chrono::milliseconds limit);

}  // namespace os
