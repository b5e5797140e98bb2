#include "app/HeadlessReporter.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/AppTexts.h"
#include "app/DummyForm.h"
#include "delivery/DeliveredCopy.h"

HeadlessReporter::HeadlessReporter(std::string productName, std::FILE* out, DnsWarningGate::Clock clock)
    : productName_(std::move(productName)), out_(out), dnsGate_(std::move(clock)) {}

void HeadlessReporter::ShowOpen() { Print(app_text::kHeadlessOpen); }

void HeadlessReporter::ShowSendErrorsWarning() { Print("Warning: " + SendErrorsWarningText(productName_)); }

void HeadlessReporter::ShowDnsWarning() {
  if (dnsGate_.Accept()) Print("Warning: " + DnsWarningText(productName_));
}

void HeadlessReporter::ShowPartialDelivery(const std::string& title, const std::string& text) {
  Print("Warning: " + title + ". " + text);
}

void HeadlessReporter::Print(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ReportOnStandardError(TDummyForm& controller) {
  // Shared by the connections below, which end with the controller.
  const auto reporter = std::make_shared<HeadlessReporter>(controller.Product().ProductName, stderr);
  QObject::connect(&controller, &TDummyForm::showMainWindowRequested, &controller,
                   [reporter] { reporter->ShowOpen(); });
  QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested, &controller,
                   [reporter] { reporter->ShowSendErrorsWarning(); });
  QObject::connect(&controller, &TDummyForm::dnsWarningRequested, &controller,
                   [reporter] { reporter->ShowDnsWarning(); });
  QObject::connect(&controller, &TDummyForm::partialDeliveryNoted, &controller,
                   [reporter](const QString& title, const QString& text) {
                     reporter->ShowPartialDelivery(title.toLocal8Bit().toStdString(),
                                                   text.toLocal8Bit().toStdString());
                   });
}

void ReportDeliveredCopies(TDummyForm& controller) {
  // Runs on the connection thread that delivered the copy; stdio locks the
  // stream, so lines of several threads do not mix.
  controller.SetDeliveryHook([](const DeliveredCopy& copy) {
    std::fprintf(stderr, "%s%s\n", app_text::kDeliveredCopy, DescribeCopy(copy).c_str());
    std::fflush(stderr);
  });
}
