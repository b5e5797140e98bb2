#include "app/HeadlessReporter.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "app/AppTexts.h"
#include "app/DummyForm.h"

namespace {

void WriteLine(std::FILE* out, const QString& text) {
  std::fprintf(out, "%s\n", text.toLocal8Bit().constData());
  std::fflush(out);
}

QString DnsServerText(const std::string& server) {
  return server.empty() ? QString::fromLatin1(app_text::kNoDnsServer)
                        : QString::fromLocal8Bit(server.c_str());
}

}  // namespace

void ReportOnStandardError(TDummyForm& controller, std::FILE* out) {
  // "Open" says so, so that an open request visibly reached this instance.
  QObject::connect(&controller, &TDummyForm::showMainWindowRequested,
                   [out] { WriteLine(out, QString::fromLatin1(app_text::kHeadlessOpen)); });
  QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested,
                   [out] { WriteLine(out, QString::fromLatin1(app_text::kHeadlessSendErrorsWarning)); });
  QObject::connect(&controller, &TDummyForm::dnsWarningRequested,
                   [out] { WriteLine(out, QString::fromLatin1(app_text::kHeadlessDnsWarning)); });
  QObject::connect(&controller, &TDummyForm::logSaveFailed,
                   [out](const QString& text) { WriteLine(out, text); });

  // The DNS server last reported; nothing until the listener runs.
  auto reported = std::make_shared<std::optional<std::string>>();
  QObject::connect(&controller, &TDummyForm::listeningStarted, [&controller, out, reported] {
    *reported = controller.ActiveDnsServer();
    const char* who = controller.LocalOnly() ? app_text::kFromThisComputerOnly : app_text::kFromAnyComputer;
    WriteLine(out, QString::fromLatin1(app_text::kHeadlessListening)
                       .arg(controller.BoundPort())
                       .arg(QString::fromLatin1(who), DnsServerText(**reported)));
  });
  QObject::connect(&controller, &TDummyForm::settingsChanged, [&controller, out, reported] {
    if (!reported->has_value() || controller.ActiveDnsServer() == **reported) return;
    *reported = controller.ActiveDnsServer();
    WriteLine(out, QString::fromLatin1(app_text::kHeadlessDnsServer).arg(DnsServerText(**reported)));
  });
}
