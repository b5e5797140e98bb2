// How the work on a received header grows with its size: reading the fields
// (ProcessHeaders) and writing one relayed copy, for headers with tens of
// thousands of Bcc or To lines, hundreds of thousands of continuation lines,
// or a long run of unfinished encoded words. Work that grows with the square
// of the size shows as a time per line that grows with the scale. Bounded:
// fixed sizes, one copy per run, no network.
//
//   bench_header_work [percent]   (size of the headers, default 100, at most 100)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "delivery/MessageWriter.h"
#include "intake/IdMessage.h"
#include "platform/Failure.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shape {
  const char* name;
  int lines;  // at 100 percent
  std::function<void(TIdMessage&, int)> fill;
};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void Common(TIdMessage& m) {
  m.Headers.Lines.push_back("From: Sender <sender@home.test>");
  m.Headers.Lines.push_back("To: ann@a.test");
  m.Headers.Lines.push_back("Date: Tue, 7 Dec 2004 10:01:02 +0100");
}

const Shape kShapes[] = {
    {"Bcc lines", 60000,
     [](TIdMessage& m, int n) {
       Common(m);
       m.Headers.Lines.push_back("Subject: many blind copies");
       for (int i = 0; i < n; ++i) m.Headers.Lines.push_back("Bcc: hidden" + std::to_string(i) + "@q.test");
     }},
    {"To lines", 60000,
     [](TIdMessage& m, int n) {
       Common(m);
       m.Headers.Lines.push_back("Subject: many To lines");
       for (int i = 0; i < n; ++i) m.Headers.Lines.push_back("To: other" + std::to_string(i) + "@q.test");
     }},
    {"Subject continuation lines", 320000,
     [](TIdMessage& m, int n) {
       Common(m);
       m.Headers.Lines.push_back("Subject: folded");
       for (int i = 0; i < n; ++i) m.Headers.Lines.push_back(" w" + std::to_string(i % 1000));
     }},
    {"Received continuation lines", 320000,
     [](TIdMessage& m, int n) {
       Common(m);
       m.Headers.Lines.push_back("Subject: s");
       m.Headers.Lines.push_back("Received: from a");
       for (int i = 0; i < n; ++i) m.Headers.Lines.push_back("\tby b" + std::to_string(i % 1000));
     }},
    {"unfinished encoded words in a Subject", 60000,
     [](TIdMessage& m, int n) {
       Common(m);
       std::string subject = "Subject: ";
       for (int i = 0; i < n; ++i) subject += "=?ISO-8859-1?Q?x";
       m.Headers.Lines.push_back(subject);
     }},
};

}  // namespace

int main(int argc, char** argv) {
  int percent = argc > 1 ? std::atoi(argv[1]) : 100;
  if (percent <= 0 || percent > 100) percent = 100;
  std::printf("%-40s %8s %10s %12s %12s %10s\n", "header", "lines", "bytes", "fields (s)", "copy (s)",
              "us/line");
  for (const Shape& shape : kShapes) {
    const int lines = shape.lines * percent / 100;
    TIdMessage message;
    shape.fill(message, lines);
    std::size_t bytes = 0;
    for (const auto& line : message.Headers.Lines) bytes += line.size() + 2;

    auto start = Clock::now();
    try {
      message.ProcessHeaders();
    } catch (const EFailure& e) {
      std::printf("ProcessHeaders failed: %s\n", e.what());
      return 1;
    }
    const double fields = Seconds(start);
    message.Recipients.Clear();
    message.CCList.Clear();
    message.Recipients.Add().Address = "ann@a.test";

    MessageWriter writer;
    writer.Charset = HeaderCharset::Latin1;
    std::size_t written = 0;
    start = Clock::now();
    writer.WriteText(message, [&](std::string_view text) { written += text.size(); });
    const double copy = Seconds(start);
    std::printf("%-40s %8d %10zu %12.4f %12.4f %10.3f\n", shape.name, lines, bytes, fields, copy,
                (fields + copy) * 1e6 / lines);
  }
  return 0;
}
