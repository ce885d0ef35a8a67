// halvexctl's command line and progress bar, without a board.
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "config/SettingsFile.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace halvex::cli {
namespace {

TEST(CliArgs, GlobalOptionsMayFollowTheCommand) {
    const TCliArgs a = ParseCliArgs({"read", "--image=out.bin", "--port", "COM3", "--json"});
    EXPECT_TRUE(a.Error.empty()) << a.Error;
    EXPECT_EQ(a.Command, TCommand::Read);
    EXPECT_EQ(a.File, "out.bin");
    EXPECT_EQ(a.Port, "COM3");
    EXPECT_TRUE(a.Json);
}

TEST(CliArgs, ImportTakesBothSectionsUnlessOneIsChosen) {
    EXPECT_EQ(ParseCliArgs({"import", "a.set"}).ImportFlags,
              import_flag::Layouts | import_flag::Main);
    EXPECT_EQ(ParseCliArgs({"import", "a.set", "--layouts"}).ImportFlags, import_flag::Layouts);
    EXPECT_EQ(ParseCliArgs({"import", "--settings", "a.set"}).ImportFlags, import_flag::Main);
}

TEST(CliArgs, MissingOrMisplacedArgumentsAreUsageErrors) {
    EXPECT_FALSE(ParseCliArgs({"read"}).Error.empty());           // no --image
    EXPECT_FALSE(ParseCliArgs({"font"}).Error.empty());           // no file
    EXPECT_FALSE(ParseCliArgs({"check", "extra"}).Error.empty()); // no argument taken
    EXPECT_FALSE(ParseCliArgs({"font", "a.mcm", "--layouts"}).Error.empty());
    EXPECT_FALSE(ParseCliArgs({"read", "--image", "a.bin", "--verify"}).Error.empty());
    EXPECT_TRUE(ParseCliArgs({"import", "a.set", "--verify"}).Verify);
    EXPECT_TRUE(ParseCliArgs({"import", "a.set", "--no-verify"}).NoVerify);
    EXPECT_TRUE(ParseCliArgs({"write", "--image", "a.bin", "--force"}).Force);
    EXPECT_FALSE(ParseCliArgs({"import", "a.set", "--force"}).Error.empty());
    EXPECT_FALSE(ParseCliArgs({"font", "a.mcm", "--no-verify"}).Error.empty());
    EXPECT_FALSE(
        ParseCliArgs({"write", "--image", "a.bin", "--verify", "--no-verify"}).Error.empty());
    EXPECT_FALSE(ParseCliArgs({"--port"}).Error.empty()); // no value
    EXPECT_FALSE(ParseCliArgs({}).Error.empty());         // no command
}

// preset takes the board's layout mode, one given with --mode, or all three with --all.
TEST(CliArgs, PresetTakesAModeOrAllButNotBoth) {
    const TCliArgs plain = ParseCliArgs({"preset", "Long range"});
    EXPECT_TRUE(plain.Error.empty()) << plain.Error;
    EXPECT_EQ(plain.File, "Long range");
    EXPECT_EQ(plain.PresetMode, -1);
    EXPECT_FALSE(plain.PresetAll);
    EXPECT_EQ(ParseCliArgs({"preset", "Race", "--mode=min", "--verify"}).PresetMode, 1);
    EXPECT_TRUE(ParseCliArgs({"preset", "--all", "Race"}).PresetAll);
    EXPECT_EQ(ParseCliArgs({"preset", "Race", "--mode", "MAX"}).Error,
              "--mode takes OFF, MIN or ALL, not 'MAX'");
    EXPECT_FALSE(ParseCliArgs({"preset", "Race", "--mode", "ALL", "--all"}).Error.empty());
    EXPECT_EQ(ParseCliArgs({"preset"}).Error, "preset needs a preset name");
    EXPECT_FALSE(ParseCliArgs({"import", "a.set", "--all"}).Error.empty());
}

TEST(CliArgs, UnknownCommandExitsWithTwoAndSendsNothing) {
    const TCliArgs a = ParseCliArgs({"flash", "x"});
    ASSERT_FALSE(a.Error.empty());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunCli(a, {out, err, false}), exit_code::Usage);
    std::rewind(err);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
    EXPECT_STREQ(line, "halvexctl: unknown command 'flash'\n");
    std::fclose(out);
    std::fclose(err);
}

TEST(CliArgs, CommandHelpIsThatCommandsOwn) {
    const TCliArgs a = ParseCliArgs({"font", "--help"});
    EXPECT_TRUE(a.Help);
    EXPECT_EQ(CommandHelp(a.Command).rfind(
                  "Usage: halvexctl [--port PORT] [--json] [--quiet] [--verbose] "
                  "font FILE.mcm\n",
                  0),
              0u);
}

TEST(CliProgress, BarPercentAndTimeLeftFollowThePaceSoFar) {
    EXPECT_EQ(ProgressLine(0.5, 3.0), "[###############...............]  50%  3.0 s left");
    EXPECT_EQ(ProgressLine(0.0, 0.0), "[..............................]   0%");
    EXPECT_EQ(ProgressLine(1.0, 6.0), "[##############################] 100%");
}

} // namespace
} // namespace halvex::cli
