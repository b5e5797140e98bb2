// Keeps the mail program accounts that point at this relay on its port.
#pragma once

#include <string>

namespace os {
class AccountStore;
}

// Reloads the store and writes the DWORD "SMTP Port" = listenPort into every
// account under the accounts root whose "OLD_HOST" string is not blank
// (accounts this relay configured); saves the store when one changed.
// Writes nothing when listenPort is not a decimal number that fits a DWORD.
// Returns the number of accounts written.
int UpdateAccountPorts(os::AccountStore& store, const std::string& listenPort);
