// The process's limit of open files. A relay with many idle connections
// needs more descriptors than the usual soft limit of 1024; the hard limit
// is what the system grants without privileges.
#pragma once

#include <cstddef>

namespace os {

// Raises the soft limit of open files to the hard limit; the soft limit in
// force afterwards.
std::size_t RaiseOpenFileLimit();

// The soft limit of open files now in force.
std::size_t OpenFileLimit();

}  // namespace os
