// The log viewer with records of both outcomes, the newest selected.
#include "log/OperationLog.h"
#include "screenshots/Shots.h"
#include "ui/ControllerHost.h"
#include "ui/LogViewer.h"

namespace {

TDateTime At(int day, int hour, int minute) { return 46000.0 + day + (hour * 60 + minute) / 1440.0; }

QPixmap LogViewerShot(shots::Fixture& fixture) {
  TOperationLog log;
  struct Record {
    bool sent;
    const char* recipient;
    const char* subject;
    const char* status;
    TDateTime time;
  };
  const Record records[] = {
      {true, "anna.berg@example.com", "Minutes of Tuesday's meeting", "Sent successfully", At(0, 9, 12)},
      {true, "j.okafor@example.org", "Minutes of Tuesday's meeting", "Sent successfully", At(0, 9, 12)},
      {false, "team@old-domain.example", "Minutes of Tuesday's meeting", "Could not resolve domain",
       At(0, 9, 12)},
      {true, "lena@example.net", "Re: Holiday photos", "Sent successfully", At(0, 11, 40)},
      {false, "bob@example.net", "Invoice 2026-118",
       "550 5.1.1 <bob@example.net>: Recipient address rejected: User unknown", At(0, 14, 5)},
      {true, "accounts@example.com", "Invoice 2026-118", "Sent successfully", At(0, 14, 5)},
  };
  for (const Record& r : records) {
    log.SetClock([t = r.time] { return t; });
    log.WriteLogRecord(r.sent, true, r.recipient, r.subject, r.status);
  }
  ui::ControllerHost host(fixture.Controller());
  TLogViewer viewer(log, host);
  viewer.show();
  viewer.TimerTimer();
  return shots::GrabWindow(&viewer);
}

const shots::ShotRegistration kLogViewer({"log-viewer.png", LogViewerShot});

}  // namespace
