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
      {{"--Verbose"}, false, false, "", "--Verbose"},  // options are spelled exactly
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
