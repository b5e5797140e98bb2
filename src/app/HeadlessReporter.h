// Without a display there are no windows: what the controller asks them to
// show goes to standard error as one line each instead. The windows connect
// to the same signals when the program runs on a desktop.
#pragma once

class TDummyForm;

void ReportOnStandardError(TDummyForm& controller);

// For --verbose, with or without a display: one line on standard error for
// every copy an exchanger took, its host and whether it went over TLS.
void ReportDeliveredCopies(TDummyForm& controller);
