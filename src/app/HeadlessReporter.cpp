#include "app/HeadlessReporter.h"

#include <cstdio>
#include <string>

#include "app/AppTexts.h"
#include "app/DummyForm.h"
#include "delivery/DeliveredCopy.h"

namespace {

void WriteLine(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

void WriteLine(const char* prefix, const std::string& text) {
  std::fprintf(stderr, "%s%s\n", prefix, text.c_str());
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

void ReportDeliveredCopies(TDummyForm& controller) {
  // Runs on the connection thread that delivered the copy; stdio locks the
  // stream, so lines of several threads do not mix.
  controller.SetDeliveryHook(
      [](const DeliveredCopy& copy) { WriteLine(app_text::kDeliveredCopy, DescribeCopy(copy)); });
}
