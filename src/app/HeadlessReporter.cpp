#include "app/HeadlessReporter.h"

#include <QString>
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

void HeadlessReporter::ShowListening(int port, bool localOnly, const std::string& dnsServer) {
  dnsServerSaid_ = dnsServer;
  const char* who = localOnly ? app_text::kFromThisComputerOnly : app_text::kFromAnyComputer;
  const std::string dns = dnsServer.empty() ? app_text::kNoDnsServer : dnsServer;
  Print(QString::fromLatin1(app_text::kHeadlessListening)
            .arg(port)
            .arg(QString::fromLatin1(who), QString::fromLocal8Bit(dns.c_str()))
            .toLocal8Bit()
            .toStdString());
}

void HeadlessReporter::ShowDnsServer(const std::string& dnsServer) {
  if (!dnsServerSaid_ || *dnsServerSaid_ == dnsServer) return;
  dnsServerSaid_ = dnsServer;
  const std::string dns = dnsServer.empty() ? app_text::kNoDnsServer : dnsServer;
  Print(QString::fromLatin1(app_text::kHeadlessDnsServer)
            .arg(QString::fromLocal8Bit(dns.c_str()))
            .toLocal8Bit()
            .toStdString());
}

void HeadlessReporter::ShowProblem(const std::string& text) { Print(text); }

void HeadlessReporter::Print(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ReportOnStandardError(TDummyForm& controller, std::FILE* out) {
  // Shared by the connections below, which end with the controller.
  const auto reporter = std::make_shared<HeadlessReporter>(controller.Product().ProductName, out);
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
  QObject::connect(&controller, &TDummyForm::logSaveFailed, &controller, [reporter](const QString& text) {
    reporter->ShowProblem(text.toLocal8Bit().toStdString());
  });
  QObject::connect(&controller, &TDummyForm::listeningStarted, &controller, [reporter, &controller] {
    reporter->ShowListening(controller.BoundPort(), controller.LocalOnly(), controller.ActiveDnsServer());
  });
  QObject::connect(&controller, &TDummyForm::settingsChanged, &controller,
                   [reporter, &controller] { reporter->ShowDnsServer(controller.ActiveDnsServer()); });
}

void ReportDeliveredCopies(TDummyForm& controller) {
  // Runs on the connection thread that delivered the copy; stdio locks the
  // stream, so lines of several threads do not mix.
  controller.SetDeliveryHook([](const DeliveredCopy& copy) {
    std::fprintf(stderr, "%s%s\n", app_text::kDeliveredCopy, DescribeCopy(copy).c_str());
    std::fflush(stderr);
  });
}
