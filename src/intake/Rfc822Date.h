// Reading the date-time of a "Date" header into local time.
#pragma once

#include <string>

#include "platform/DateTime.h"

// Parses an RFC 822 date-time into local time (the sender's offset taken
// off, this machine's current offset added); false when it cannot be read.
bool ParseRfc822Date(const std::string& text, TDateTime& result);
