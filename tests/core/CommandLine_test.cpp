// The command line and what a start does with it.
#include "core/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/AppPaths.h"

namespace {

TEST(CommandLine, OptionsAndTheFirstPlainArgument) {
  ::unsetenv(kDataDirVariable);
  struct Case {
    std::vector<std::string> args;
    bool headless, verbose;
    std::string dataDir, command;
  } cases[] = {
      {{}, false, false, "", ""},
      {{"open"}, false, false, "", "open"},
      {{"close", "open"}, false, false, "", "close"},  // only the first one counts
      {{"--headless", "close"}, true, false, "", "close"},
      {{"open", "--headless"}, true, false, "", "open"},
      {{"--verbose"}, false, true, "", ""},
      {{"--headless", "open", "--verbose"}, true, true, "", "open"},
      {{"--verbose", "--verbose", "close"}, false, true, "", "close"},
      {{"--data-dir", "/tmp/d", "open"}, false, false, "/tmp/d", "open"},
      {{"--data-dir=/tmp/d", "--headless"}, true, false, "/tmp/d", ""},
      {{"--data-dir", "--verbose"}, false, false, "--verbose", ""},  // the option's folder, not --verbose
      {{"--data-dir", "open"}, false, false, "open", ""},  // the option takes the next argument as its folder
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    std::string name;
    for (const auto& arg : c.args) name += arg + " ";
    EXPECT_EQ(line.headless, c.headless) << name;
    EXPECT_EQ(line.verbose, c.verbose) << name;
    EXPECT_EQ(line.dataDir, c.dataDir) << name;
    EXPECT_EQ(line.command, c.command) << name;
  }
}

// The options that print or change a file and end, and the arguments that
// are refused; the data folder's first mention wins.
TEST(CommandLine, OneShotOptionsAndRefusedArguments) {
  ::unsetenv(kDataDirVariable);
  struct Case {
    std::vector<std::string> args;
    // Which of --headless, --help, --version, --install-autostart,
    // --remove-autostart were seen, as "hHviR" letters in that order.
    std::string flags;
    std::string dataDir, command;
    std::string error;  // a part of the refusal; empty when accepted
  } cases[] = {
      {{"--help"}, "H", "", "", ""},
      {{"open", "--version"}, "v", "", "open", ""},
      {{"--install-autostart", "--data-dir", "/tmp/d"}, "i", "/tmp/d", "", ""},
      {{"--remove-autostart", "--headless"}, "hR", "", "", ""},
      {{"--data-dir", "/tmp/a", "--data-dir=/tmp/b"}, "", "/tmp/a", "", ""},
      {{"-"}, "", "", "-", ""},  // a lone dash is a plain argument
      {{"--bogus"}, "", "", "", "unknown option '--bogus'"},
      {{"--headless", "-x", "open"}, "h", "", "", "unknown option '-x'"},
      {{"--Help"}, "", "", "", "unknown option '--Help'"},  // letter case matters
      {{"--Verbose"}, "", "", "", "unknown option '--Verbose'"},
      {{"--data-dir"}, "", "", "", "option '--data-dir' needs a folder"},
      {{"--data-dir="}, "", "", "", "option '--data-dir' needs a folder"},
      {{"--install-autostart", "--remove-autostart"}, "iR", "", "", "exclude each other"},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    std::string name;
    for (const auto& arg : c.args) name += arg + " ";
    std::string flags;
    if (line.headless) flags += 'h';
    if (line.help) flags += 'H';
    if (line.version) flags += 'v';
    if (line.installAutostart) flags += 'i';
    if (line.removeAutostart) flags += 'R';
    EXPECT_EQ(flags, c.flags) << name;
    EXPECT_EQ(line.dataDir, c.dataDir) << name;
    EXPECT_EQ(line.command, c.command) << name;
    if (c.error.empty()) {
      EXPECT_EQ(line.error, "") << name;
    } else {
      EXPECT_NE(line.error.find(c.error), std::string::npos) << name << "gave \"" << line.error << "\"";
    }
  }
}

TEST(CommandLine, StartStepFromTheCommandAndARunningInstance) {
  struct Case {
    std::string command;
    bool anotherRuns;
    StartStep want;
  } cases[] = {
      {"close", true, StartStep::Close},          {"close", false, StartStep::Close},
      {"open", true, StartStep::HandOverOpen},    {"open", false, StartStep::RunAndOpen},
      {"", true, StartStep::HandOverRestore},     {"", false, StartStep::Run},
      {"Open", true, StartStep::HandOverRestore},  // letter case matters
      {"Close", false, StartStep::Run},           {"--anything", false, StartStep::Run},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StartStepFor(c.command, c.anotherRuns), c.want)
        << "\"" << c.command << "\", another instance " << (c.anotherRuns ? "runs" : "does not run");
  }
}

}  // namespace
