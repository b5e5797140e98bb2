// Saves a picture of every window of the program:
//   postwick_screenshots OUTPUT_FOLDER [NAME...]
// NAME picks rows by file name (without ".png"); without names every row runs.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DummyForm.h"
#include "app/UserMessages.h"
#include "platform/TextFile.h"
#include "screenshots/Shots.h"

namespace shots {
namespace {

std::vector<Shot>& Table() {
  static std::vector<Shot> table;
  return table;
}

}  // namespace

ShotRegistration::ShotRegistration(Shot shot) { Table().push_back(std::move(shot)); }

Fixture::Fixture(std::string executablePath, std::string dataDir)
    : paths_(std::move(executablePath), std::move(dataDir)) {
  product_ = LoadProductInfo(paths_.ProductInfoFile());
  // A user's port and a DNS server nobody answers on: the pictures never
  // depend on the network.
  WriteDataFile("postwick.opt", "USERPORT=1\r\nPORT=2525\r\nFIREWALL=1\r\n");
}

Fixture::~Fixture() = default;

void Fixture::WriteDataFile(const std::string& name, const std::string& text) const {
  os::WriteFileAtomically(paths_.FilesFolder() + "/" + name, text);
}

TDummyForm& Fixture::Controller() {
  if (!controller_) {
    TDummyForm::Environment env;
    env.paths = paths_;
    env.product = product_;
    env.headless = true;
    env.findSystemDnsServer = [] { return std::string("127.0.0.1:9"); };
    controller_ = std::make_unique<TDummyForm>(std::move(env), log_);
    controller_->FormCreate();
  }
  return *controller_;
}

void Settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QPixmap GrabWindow(QWidget* window) {
  window->show();
  Settle(400);
  return window->grab();
}

}  // namespace shots

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [NAME...]\n", argv[0]);
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  QStringList wanted;
  for (int i = 2; i < argc; ++i) wanted << QString::fromLocal8Bit(argv[i]) + QStringLiteral(".png");
  QDir().mkpath(output);

  // Message boxes would wait for a click: say them on standard error.
  UserMessages::ScopedResponder quietBoxes([](UserMessages::Kind kind, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", UserMessages::Caption(kind), text.toLocal8Bit().constData());
    return true;
  });

  QTemporaryDir data;
  // The windows see the files a program "postwick" beside this tool would
  // have: the product information of the build, the settings of the fixture.
  const std::string executable =
      (QCoreApplication::applicationDirPath() + QStringLiteral("/postwick")).toStdString();
  int failures = 0;
  for (const shots::Shot& shot : shots::Table()) {
    if (!wanted.isEmpty() && !wanted.contains(shot.file)) continue;
    // Each picture gets a fresh fixture, so no window sees another's state.
    QTemporaryDir folder(data.path() + QStringLiteral("/shot-XXXXXX"));
    shots::Fixture fixture(executable, folder.path().toStdString());
    const QPixmap picture = shot.take(fixture);
    const QString path = output + QLatin1Char('/') + shot.file;
    if (picture.isNull() || !picture.save(path)) {
      std::fprintf(stderr, "could not take %s\n", path.toLocal8Bit().constData());
      ++failures;
      continue;
    }
    std::printf("wrote %s (%dx%d)\n", path.toLocal8Bit().constData(), picture.width(), picture.height());
  }
  return failures == 0 ? 0 : 1;
}
