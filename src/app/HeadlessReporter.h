// Without a display there are no windows: what the controller asks them to
// show goes to standard error as one line each instead. The windows connect
// to the same signals when the program runs on a desktop. A headless run
// also says where it listens and which DNS server it uses, at start and
// whenever the server in use changes.
#pragma once

#include <cstdio>

class TDummyForm;

// out: where the lines go (standard error; tests give a file).
void ReportOnStandardError(TDummyForm& controller, std::FILE* out = stderr);
