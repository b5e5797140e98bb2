// The mail program configuration window driven by object name, against a
// temporary account store and fixture Thunderbird profiles.
#include "ui/MailCfgForm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>

#include "app/UserMessages.h"
#include "core/AccountStoreSource.h"
#include "core/ThunderbirdPrefs.h"
#include "core/ThunderbirdSource.h"
#include "platform/AccountStore.h"
#include "platform/TcpListener.h"
#include "support/FakeSmtpServer.h"
#include "support/TempFolder.h"
#include "ui/FakeWindowHost.h"

using testing_support::TempFolder;
using Kind = UserMessages::Kind;
using os::AccountStore;

namespace {

const std::string kRoot = os::kMailAccountsRoot;
const QString kRestartStore = "You need to restart your Outlook Express for the changes to come into force!";

const std::string kWorkPrefs =
    "user_pref(\"mail.smtpserver.smtp1.description\", \"Work\");\n"
    "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.example.com\");\n"
    "user_pref(\"mail.smtpserver.smtp1.port\", 587);\n"
    "user_pref(\"mail.smtpserver.smtp1.socketType\", 2);\n"
    "user_pref(\"mail.smtpserver.smtp2.hostname\", \"mail.example.net\");\n"
    "user_pref(\"mail.smtpservers\", \"smtp1,smtp2\");\n";
const std::string kLockedPrefs =
    "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.example.org\");\n"
    "user_pref(\"mail.smtpservers\", \"smtp1\");\n";

class MailCfgFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AccountStore setup(storeFile);
    auto home = setup.CreateKey(kRoot + "\\00000001");
    home.WriteString("Account Name", "Home");
    home.WriteString("SMTP Server", "smtp.home.example");
    auto blank = setup.CreateKey(kRoot + "\\00000002");
    blank.WriteString("Account Name", "   ");
    blank.WriteString("SMTP Server", "smtp.example.com");
    auto other = setup.CreateKey(kRoot + "\\00000003");
    other.WriteString("Account Name", "Other");
    other.WriteString("SMTP Server", "smtp.other.example");
    other.WriteDword("SMTP Port", 465);
    ASSERT_TRUE(setup.Save());

    std::filesystem::create_directories(root + "/w.work");
    std::filesystem::create_directories(root + "/l.locked");
    TempFolder::Write(root + "/profiles.ini",
                      "[Profile0]\nName=work\nIsRelative=1\nPath=w.work\n\n"
                      "[Profile1]\nName=locked\nIsRelative=1\nPath=l.locked\n");
    TempFolder::Write(root + "/w.work/prefs.js", kWorkPrefs);
    TempFolder::Write(root + "/l.locked/prefs.js", kLockedPrefs);
    host.listenPort = "2525";
  }
  void TearDown() override {
    if (window) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  MailAccountSources Sources() {
    MailAccountSources sources;
    sources.push_back(std::make_unique<AccountStoreSource>(storeFile));
    sources.push_back(std::make_unique<ThunderbirdSource>(std::vector<std::string>{root}));
    return sources;
  }
  void Open() {
    window = ShowMailCfgForm(
        host, [this] { return Sources(); }, portTest);
    list = window->findChild<QListWidget*>(QStringLiteral("ListView"));
    ASSERT_NE(list, nullptr);
  }
  QPushButton* Button(const char* name) const {
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
  }
  QListWidgetItem* Row(const QString& caption) const {
    const auto found = list->findItems(caption, Qt::MatchExactly);
    return found.size() == 1 ? found.front() : nullptr;
  }
  void Tick(const QString& caption, bool on) {
    QListWidgetItem* row = Row(caption);
    ASSERT_NE(row, nullptr) << caption.toStdString();
    row->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
  // Presses Ok and collects the message boxes it shows.
  std::vector<std::pair<Kind, QString>> PressOk() {
    std::vector<std::pair<Kind, QString>> shown;
    UserMessages::ScopedResponder responder([&](Kind kind, const QString& text) {
      shown.emplace_back(kind, text);
      return true;
    });
    Button("Button1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return shown;
  }
  std::optional<os::AccountKey> Key(AccountStore& store, const std::string& name) {
    store.Load();
    return store.OpenKey(kRoot + "\\" + name);
  }

  TempFolder temp;
  std::string storeFile = temp.File("accounts.reg");
  std::string root = temp.File("thunderbird");
  testing_support::FakeWindowHost host;
  ui::ProbeTarget portTest{"127.0.0.1", 9};
  QPointer<TMailCfgForm> window;
  QListWidget* list = nullptr;
};

TEST_F(MailCfgFormTest, ListsTheAccountsOfEveryProgramWithTheirTicks) {
  {
    AccountStore store(storeFile);
    Key(store, "00000003")->WriteString("OLD_HOST", "");
    ASSERT_TRUE(store.Save());
  }
  Open();
  EXPECT_EQ(window->windowTitle(), "Configure Email Program");
  QStringList captions;
  for (int i = 0; i < list->count(); ++i) {
    captions << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? " [x]" : " [ ]");
  }
  EXPECT_EQ(captions, QStringList({"Home [ ]", "Other [x]", "Thunderbird (work): Work [ ]",
                                   "Thunderbird (work): mail.example.net [ ]",
                                   "Thunderbird (locked): smtp.example.org [ ]"}));
  EXPECT_EQ(list->currentRow(), 0);
  auto* pages = window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  ASSERT_EQ(pages->count(), 4);
  EXPECT_EQ(pages->tabText(0), "Outlook Express");
  EXPECT_EQ(pages->tabText(3), "Test SMTP Port 25");
  EXPECT_EQ(Button("Button5")->text(), "How to configure Outlook Express manually");
  EXPECT_EQ(Button("Button7")->text(), "Test the standard SMTP port 25");
  EXPECT_TRUE(Button("Button1")->isDefault());
  // Nothing in the window is cut off: it grew where the texts needed room.
  EXPECT_GE(window->width(), 518);
  EXPECT_GE(window->height(), 352);
  const char* const texts[] = {"Label1", "Label2", "Label3", "Label4"};
  for (int page = 0; page < 4; ++page) {
    pages->setCurrentIndex(page);
    testing_support::ProcessEventsFor(50);
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(texts[page]));
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << texts[page];
  }
}

TEST_F(MailCfgFormTest, TickApplyThenUntickRestoresTheStoreAccount) {
  Open();
  Tick("Home", true);
  EXPECT_EQ(PressOk(), (std::vector<std::pair<Kind, QString>>{{Kind::Information, kRestartStore}}));
  EXPECT_TRUE(window.isNull());
  AccountStore store(storeFile);
  auto key = Key(store, "00000001");
  EXPECT_EQ(key->ReadString("OLD_HOST"), "smtp.home.example");
  EXPECT_EQ(key->ReadDword("OLD_PORT"), 25u);
  EXPECT_EQ(key->ReadDword("OLD_TIMEOUT"), 60u);
  EXPECT_EQ(key->ReadString("SMTP Server"), "localhost");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 2525u);
  EXPECT_EQ(key->ReadDword("SMTP Timeout"), 600u);

  Open();
  EXPECT_EQ(Row("Home")->checkState(), Qt::Checked);
  Tick("Home", false);
  EXPECT_EQ(PressOk().size(), 1u);
  key = Key(store, "00000001");
  EXPECT_EQ(key->ReadString("SMTP Server"), "smtp.home.example");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 25u);
  EXPECT_EQ(key->ReadDword("SMTP Timeout"), 60u);
  EXPECT_FALSE(key->ValueExists("OLD_HOST"));
}

TEST_F(MailCfgFormTest, TickAndUntickOrCancelWriteNothing) {
  const std::string store = TempFolder::Read(storeFile);
  Open();
  Tick("Home", true);
  Tick("Thunderbird (work): Work", true);
  Tick("Home", false);
  Tick("Thunderbird (work): Work", false);
  EXPECT_TRUE(PressOk().empty());
  EXPECT_TRUE(window.isNull());

  Open();
  Tick("Home", true);
  Button("Button2")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(TempFolder::Read(storeFile), store);
  EXPECT_EQ(TempFolder::Read(root + "/w.work/prefs.js"), kWorkPrefs);
}

TEST_F(MailCfgFormTest, ThunderbirdServersAreConfiguredAndRestoredToTheOriginalFile) {
  Open();
  Tick("Home", true);
  Tick("Thunderbird (work): Work", true);
  Tick("Thunderbird (work): mail.example.net", true);
  EXPECT_EQ(PressOk(),
            (std::vector<std::pair<Kind, QString>>{
                {Kind::Information,
                 "You need to restart your Outlook Express and Thunderbird for the changes to come into "
                 "force!"}}));
  const ThunderbirdPrefs prefs(TempFolder::Read(root + "/w.work/prefs.js"));
  EXPECT_EQ(prefs.String("mail.smtpserver.smtp1.hostname"), "localhost");
  EXPECT_EQ(prefs.Integer("mail.smtpserver.smtp2.port"), 2525);

  // The port follows for both programs' configured accounts only.
  EXPECT_EQ(UpdateAccountPorts(Sources(), "2626"), 3);
  AccountStore store(storeFile);
  EXPECT_EQ(Key(store, "00000001")->ReadDword("SMTP Port"), 2626u);
  EXPECT_EQ(Key(store, "00000003")->ReadDword("SMTP Port"), 465u);
  EXPECT_EQ(
      ThunderbirdPrefs(TempFolder::Read(root + "/w.work/prefs.js")).Integer("mail.smtpserver.smtp1.port"),
      2626);

  Open();
  Tick("Thunderbird (work): Work", false);
  Tick("Thunderbird (work): mail.example.net", false);
  EXPECT_EQ(
      PressOk(),
      (std::vector<std::pair<Kind, QString>>{
          {Kind::Information, "You need to restart your Thunderbird for the changes to come into force!"}}));
  EXPECT_EQ(TempFolder::Read(root + "/w.work/prefs.js"), kWorkPrefs);
}

TEST_F(MailCfgFormTest, AProfileHeldByThunderbirdIsRefusedAndNothingIsWritten) {
  std::filesystem::create_symlink("127.0.1.1:+" + std::to_string(::getpid()), root + "/l.locked/lock");
  const std::string store = TempFolder::Read(storeFile);
  Open();
  Tick("Home", true);
  Tick("Thunderbird (locked): smtp.example.org", true);
  const auto shown = PressOk();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].first, Kind::Error);
  EXPECT_EQ(
      shown[0].second,
      "Thunderbird is running with the profile \"locked\". Please close Thunderbird first, then press Ok "
      "again.");
  EXPECT_FALSE(window.isNull());  // open, so Ok can be pressed again
  EXPECT_EQ(TempFolder::Read(root + "/l.locked/prefs.js"), kLockedPrefs);
  EXPECT_FALSE(std::filesystem::exists(root + "/l.locked/prefs.js.postwick-backup"));
  EXPECT_EQ(TempFolder::Read(storeFile), store);

  // Thunderbird closed: the same ticks now go through.
  std::filesystem::remove(root + "/l.locked/lock");
  EXPECT_EQ(PressOk().size(), 1u);
  EXPECT_EQ(ThunderbirdPrefs(TempFolder::Read(root + "/l.locked/prefs.js"))
                .String("mail.smtpserver.smtp1.hostname"),
            "localhost");
}

TEST_F(MailCfgFormTest, HelpButtonsAndOneWindowAtATime) {
  Open();
  EXPECT_EQ(ShowMailCfgForm(
                host, [this] { return Sources(); }, portTest),
            window.data());
  for (const char* name : {"Button3", "Button5", "Button4", "Button6", "Button8"}) Button(name)->click();
  EXPECT_EQ(host.helpOpened, (std::vector<int>{1001, 1002, 1003, 1004, 1001}));
}

// The port test dialog against loopback peers, with the message each result
// brings; Cancel pressed while the attempt hangs brings none.
TEST_F(MailCfgFormTest, PortTestResults) {
  os::TcpListener accepting;
  accepting.Listen("127.0.0.1", 0, 4);
  os::TcpListener closing;
  closing.Listen("127.0.0.1", 0, 1);
  const uint16_t closedPort = closing.Port();
  closing.Close();
  testing_support::BacklogFullListener silent;
  const struct {
    const char* name;
    uint16_t port;
    bool pressCancel;
    std::vector<std::pair<Kind, QString>> shown;
  } cases[] = {
      {"accepting", accepting.Port(), false, {{Kind::Information, "The test succeeded!"}}},
      {"refused",
       closedPort,
       false,
       {{Kind::Error, "The test failed! Make sure that you are connected to the Internet then try again!"}}},
      {"cancelled", silent.Port(), true, {}},
  };
  for (const auto& c : cases) {
    portTest = {"127.0.0.1", c.port};
    Open();
    std::vector<std::pair<Kind, QString>> shown;
    UserMessages::ScopedResponder responder([&](Kind kind, const QString& text) {
      shown.emplace_back(kind, text);
      return true;
    });
    if (c.pressCancel) {
      QTimer::singleShot(600, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
          dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        }
      });
    }
    Button("Button7")->click();  // returns when the modal dialog has ended
    EXPECT_EQ(shown, c.shown) << c.name;
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
