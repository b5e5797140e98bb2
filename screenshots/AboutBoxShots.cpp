// The About window with the delivered product information.
#include "screenshots/Shots.h"
#include "ui/AboutBox.h"

namespace {

QPixmap AboutShot(shots::Fixture& fixture) {
  TAboutBox about(fixture.Product(), [](const QUrl&) {});
  return shots::GrabWindow(&about);
}

const shots::ShotRegistration kAbout({"about.png", AboutShot});

}  // namespace
