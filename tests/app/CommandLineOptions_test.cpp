// The program's options as a user types them, on the real executable: the
// ones that print or write a file and end, refused options, and an installed
// copy that finds its files by the install marker.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
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

// A copy of the executable laid out as the install step lays it out, in
// root/prefix: bin/postwick and the marked share/postwick.
struct InstalledCopy {
  explicit InstalledCopy(const TempFolder& root)
      : bin(root.File("prefix/bin")),
        share(root.File("prefix/share/postwick")),
        executable(bin + "/postwick") {
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    std::error_code linkError;
    std::filesystem::create_hard_link(POSTWICK_EXECUTABLE, executable, linkError);
    if (linkError) std::filesystem::copy_file(POSTWICK_EXECUTABLE, executable);
    TempFolder::Write(share + "/installed", "");
    TempFolder::Write(share + "/Postwick.sys", "PROGNAME=Installed Postwick\r\nVERSION=9.8.7\r\n");
  }
  std::string bin, share, executable;
};

// How often a text occurs in another.
int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The settings come from the user's configuration folder, the product
// information from share/postwick, and the log goes to the state folder;
// nothing is read or written beside the executable.
TEST(CommandLineOptions, InstalledCopyUsesTheUsersFoldersAndItsDataFolder) {
  TempFolder root;
  const InstalledCopy copy(root);
  const std::string& bin = copy.bin;
  const std::string& executable = copy.executable;

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

// A fresh account whose state folder cannot be made, or is read-only: the
// relay runs, and the user is told once that its log cannot be kept.
TEST(CommandLineOptions, AUserFolderThatCannotBeMadeOrWrittenIsSaidOnce) {
  struct Case {
    const char* name;
    std::function<bool(const std::string& state)> prepare;  // false: not possible here
    std::string said;
  };
  const Case cases[] = {
      {"a file where the state folder should be",
       [](const std::string& state) {
         TempFolder::Write(state, "a file, not a folder");
         return true;
       },
       "Error: Could not create the folder "},
      {"a read-only state folder",
       [](const std::string& state) {
         std::filesystem::create_directories(state);
         if (::mount("tmpfs", state.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) return false;
         std::filesystem::create_directory(state + "/postwick");
         return ::mount(nullptr, state.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
       },
       "Error: Could not write in the folder "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    const InstalledCopy copy(root);
    const std::string state = root.File("state");
    if (!c.prepare(state)) {
      ::umount2(state.c_str(), MNT_DETACH);
      std::cout << "skipped: " << c.name << " needs mounting a file system\n";
      continue;
    }
    ScopedEnvironment env;
    env.Unset("POSTWICK_DATA_DIR");
    env.Set("HOME", root.File("home"));
    env.Set("XDG_CONFIG_HOME", root.File("config"));
    env.Set("XDG_STATE_HOME", state);
    std::filesystem::create_directories(root.File("config/postwick"));
    const uint16_t port = FreeTcpPort();
    WriteHeadlessSettings(root.File("config/postwick"), port);

    AppProcess relay(copy.executable, {"--headless"}, root.File("err"));
    EXPECT_TRUE(WaitForGreeting(port, 10s).has_value()) << "the relay runs all the same";
    ASSERT_TRUE(relay.Stop(SIGTERM, 5s));
    ::umount2(state.c_str(), MNT_DETACH);
    const std::string said = TempFolder::Read(root.File("err"));
    EXPECT_EQ(Occurrences(said, c.said + state + "/postwick"), 1) << said;
  }
}

}  // namespace
