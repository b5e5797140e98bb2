// The program's options as a user types them, on the real executable: the
// ones that print or write a file and end, refused options, and an installed
// copy that finds its files by the install marker.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/AppProcess.h"
#include "support/RelayHarness.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

struct Finished {
  std::optional<int> exitCode;
  std::string out;
  std::string err;
};

// Runs the executable to its end (at most 10 s) and keeps what it printed.
Finished RunToEnd(const std::string& executable, const std::vector<std::string>& args) {
  TempFolder outputs;
  AppProcess process(executable, args, outputs.File("err"), outputs.File("out"));
  Finished run;
  run.exitCode = process.WaitForExit(10s);
  run.out = TempFolder::Read(outputs.File("out"));
  run.err = TempFolder::Read(outputs.File("err"));
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CommandLineOptions, PrintingOptionsAndRefusedOnes) {
  const struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // what standard output must hold
    std::string err;  // what standard error must hold
  } cases[] = {
      {{"--help"}, 0, "Usage: postwick", ""},
      {{"--version"}, 0, std::string("Postwick ") + POSTWICK_VERSION_TEXT, ""},
      {{"open", "--version"}, 0, "Postwick ", ""},
      {{"--bogus"}, 2, "", "unknown option '--bogus'"},
      {{"--headless", "-x", "open"}, 2, "", "unknown option '-x'"},
      {{"--data-dir"}, 2, "", "option '--data-dir' needs a folder"},
      {{"--data-dir="}, 2, "", "option '--data-dir' needs a folder"},
      {{"--install-autostart", "--remove-autostart"}, 2, "", "exclude each other"},
  };
  for (const auto& c : cases) {
    std::string name;
    for (const auto& arg : c.args) name += arg + " ";
    SCOPED_TRACE(name);
    const Finished run = RunToEnd(POSTWICK_EXECUTABLE, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_TRUE(Contains(run.out, c.out)) << run.out;
    EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
    if (c.exitCode == 2) {
      EXPECT_EQ(run.out, "");
      EXPECT_TRUE(Contains(run.err, "Try 'postwick --help'")) << run.err;
    }
  }
}

// --help, --version and the autostart options end without a word to the
// instance that runs on the same files, even with "open" beside them; a plain
// "open" afterwards shows that the instance listens.
TEST(CommandLineOptions, OneShotOptionsLeaveTheRunningInstanceAlone) {
  TempFolder data;
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", data.File("config"));
  const uint16_t port = FreeTcpPort();
  WriteHeadlessSettings(data.Path(), port);
  AppProcess running(POSTWICK_EXECUTABLE, {"--headless", "--data-dir", data.Path()},
                     data.File("running-err"));
  ASSERT_TRUE(WaitForGreeting(port, 10s).has_value()) << TempFolder::Read(data.File("running-err"));

  const std::string entry = data.File("config/autostart/org.example.postwick.desktop");
  for (const char* option : {"--help", "--version", "--install-autostart", "--remove-autostart"}) {
    const Finished run =
        RunToEnd(POSTWICK_EXECUTABLE, {option, "open", "--headless", "--data-dir", data.Path()});
    EXPECT_EQ(run.exitCode, 0) << option << ": " << run.err;
    if (std::string(option) == "--install-autostart") {
      EXPECT_TRUE(Contains(TempFolder::Read(entry), "--data-dir " + data.Path())) << TempFolder::Read(entry);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(entry));

  EXPECT_EQ(RunToEnd(POSTWICK_EXECUTABLE, {"open", "--headless", "--data-dir", data.Path()}).exitCode, 0);
  const auto openLines = [&] {
    const std::string err = TempFolder::Read(data.File("running-err"));
    int lines = 0;
    for (auto at = err.find("Open: "); at != std::string::npos; at = err.find("Open: ", at + 1)) ++lines;
    return lines;
  };
  EXPECT_TRUE(Eventually([&] { return openLines() > 0; }, 5s));
  EXPECT_EQ(openLines(), 1) << TempFolder::Read(data.File("running-err"));
  EXPECT_TRUE(running.Stop(SIGTERM, 5s));
}

// A copy of the executable laid out as the install step lays it out: the
// settings come from the user's configuration folder, the product
// information from share/postwick, and the log goes to the state folder;
// nothing is read or written beside the executable.
TEST(CommandLineOptions, InstalledCopyUsesTheUsersFoldersAndItsDataFolder) {
  TempFolder root;
  const std::string bin = root.File("prefix/bin");
  const std::string share = root.File("prefix/share/postwick");
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share);
  const std::string executable = bin + "/postwick";
  std::error_code linkError;
  std::filesystem::create_hard_link(POSTWICK_EXECUTABLE, executable, linkError);
  if (linkError) std::filesystem::copy_file(POSTWICK_EXECUTABLE, executable);
  TempFolder::Write(share + "/installed", "");
  TempFolder::Write(share + "/Postwick.sys", "PROGNAME=Installed Postwick\r\nVERSION=9.8.7\r\n");

  // XDG_CONFIG_HOME unset (so ~/.config), XDG_STATE_HOME set.
  const std::string home = root.File("home");
  ScopedEnvironment env;
  env.Unset("POSTWICK_DATA_DIR");
  env.Set("HOME", home);
  env.Unset("XDG_CONFIG_HOME");
  env.Set("XDG_STATE_HOME", root.File("state"));
  const std::string settingsFolder = home + "/.config/postwick";
  const std::string log = root.File("state") + "/postwick/postwick.log";
  std::filesystem::create_directories(settingsFolder);

  const Finished help = RunToEnd(executable, {"--help"});
  EXPECT_TRUE(Contains(help.out, "Settings: " + settingsFolder + "/postwick.opt")) << help.out;
  EXPECT_TRUE(Contains(help.out, "Log:      " + log)) << help.out;
  EXPECT_TRUE(Contains(RunToEnd(executable, {"--version"}).out, "Installed Postwick 9.8.7"));

  const uint16_t port = FreeTcpPort();
  WriteHeadlessSettings(settingsFolder, port);
  AppProcess relay(executable, {"--headless"}, root.File("err"));
  EXPECT_EQ(WaitForGreeting(port, 10s), std::optional<std::string>("220 Welcome to the Installed Postwick"))
      << TempFolder::Read(root.File("err"));
  {
    SmtpSession session(port);  // a recipient without a domain fails at once and is logged
    EXPECT_EQ(session.Send(SimpleMail({"nodomain"}, "Installed layout")), "550 Invalid recipient: nodomain");
  }
  ASSERT_TRUE(relay.Stop(SIGTERM, 5s));
  EXPECT_TRUE(Contains(TempFolder::Read(log), "0 nodomain\tInstalled layout\t")) << TempFolder::Read(log);
  EXPECT_FALSE(std::filesystem::exists(bin + "/postwick.log"));
  EXPECT_FALSE(std::filesystem::exists(bin + "/postwick.opt"));
}

}  // namespace
