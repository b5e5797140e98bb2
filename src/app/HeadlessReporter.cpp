#include "app/HeadlessReporter.h"

#include <cstdio>

#include "app/AppTexts.h"
#include "app/DummyForm.h"

namespace {

void WriteLine(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

}  // namespace

void ReportOnStandardError(TDummyForm& controller) {
  // "Open" says so, so that an open request visibly reached this instance.
  QObject::connect(&controller, &TDummyForm::showMainWindowRequested,
                   [] { WriteLine(app_text::kHeadlessOpen); });
  QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested,
                   [] { WriteLine(app_text::kHeadlessSendErrorsWarning); });
  QObject::connect(&controller, &TDummyForm::dnsWarningRequested,
                   [] { WriteLine(app_text::kHeadlessDnsWarning); });
}
