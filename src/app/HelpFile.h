// The help: HTML pages beside the executable, one per help context and a
// contents page, opened in the user's browser.
#pragma once

#include "core/AppPaths.h"

// Help contexts of the windows.
enum HelpContext {
  kHelpLogViewer = 1000,
  kHelpConfiguring = 1001,
  kHelpOutlookExpress = 1002,
  kHelpOutlook = 1003,
  kHelpOtherPrograms = 1004,
  kHelpMainWindow = 1005,
  kHelpSendErrors = 1006,
  kHelpDnsWarning = 1007,
};

void OpenHelpContents(const AppPaths& paths);
void OpenHelpContext(const AppPaths& paths, int context);
