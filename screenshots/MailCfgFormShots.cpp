// Each page of the mail program configuration window, with the outgoing
// servers of two Thunderbird profiles listed (one pointed at the relay).
#include <QTabWidget>
#include <filesystem>

#include "core/AccountStoreSource.h"
#include "core/ThunderbirdSource.h"
#include "platform/TextFile.h"
#include "screenshots/Shots.h"
#include "ui/ControllerHost.h"
#include "ui/MailCfgForm.h"

namespace {

std::string ThunderbirdFixture(const shots::Fixture& fixture) {
  const std::string root = fixture.Paths().FilesFolder() + "/thunderbird";
  std::filesystem::create_directories(root + "/k2x9.default-release");
  std::filesystem::create_directories(root + "/p7qa.work");
  os::WriteFileAtomically(root + "/profiles.ini",
                          "[Profile0]\nName=default-release\nIsRelative=1\nPath=k2x9.default-release\n\n"
                          "[Profile1]\nName=work\nIsRelative=1\nPath=p7qa.work\n");
  os::WriteFileAtomically(
      root + "/k2x9.default-release/prefs.js",
      "user_pref(\"mail.smtpserver.smtp1.description\", \"Home mail\");\n"
      "user_pref(\"mail.smtpserver.smtp1.hostname\", \"localhost\");\n"
      "user_pref(\"mail.smtpserver.smtp1.postwick_old_hostname\", \"smtp.example.net\");\n"
      "user_pref(\"mail.smtpserver.smtp2.hostname\", \"smtp.example.com\");\n"
      "user_pref(\"mail.smtpserver.smtp2.username\", \"anna.berg@example.com\");\n"
      "user_pref(\"mail.smtpservers\", \"smtp1,smtp2\");\n");
  os::WriteFileAtomically(root + "/p7qa.work/prefs.js",
                          "user_pref(\"mail.smtpserver.smtp1.description\", \"Office\");\n"
                          "user_pref(\"mail.smtpserver.smtp1.hostname\", \"mail.example.org\");\n"
                          "user_pref(\"mail.smtpservers\", \"smtp1\");\n");
  return root;
}

QPixmap MailCfgPage(shots::Fixture& fixture, int page) {
  MailAccountSources sources;
  sources.push_back(std::make_unique<AccountStoreSource>(fixture.Paths().AccountStoreFile()));
  sources.push_back(
      std::make_unique<ThunderbirdSource>(std::vector<std::string>{ThunderbirdFixture(fixture)}));
  ui::ControllerHost host(fixture.Controller());
  TMailCfgForm window(host, std::move(sources), {"127.0.0.1", 9});
  window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(page);
  return shots::GrabWindow(&window);
}

const shots::ShotRegistration kPages[] = {
    shots::ShotRegistration({"configure-accounts.png", [](shots::Fixture& f) { return MailCfgPage(f, 0); }}),
    shots::ShotRegistration({"configure-outlook.png", [](shots::Fixture& f) { return MailCfgPage(f, 1); }}),
    shots::ShotRegistration(
        {"configure-other-programs.png", [](shots::Fixture& f) { return MailCfgPage(f, 2); }}),
    shots::ShotRegistration({"configure-port-test.png", [](shots::Fixture& f) { return MailCfgPage(f, 3); }}),
};

}  // namespace
