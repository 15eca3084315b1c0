#include "dispatcher.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tessaly::cli {
namespace {

struct CliRun {
    int code = 0;
    std::string out;
    std::string err;
};

CliRun runCli(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    Dispatcher dispatcher;
    CliRun result;
    result.code = dispatcher.run(arguments, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

TEST(Cli, VersionAndHelp)
{
    EXPECT_EQ(runCli({"--version"}).out, "Tessaly 2000 2.4\n");
    EXPECT_EQ(runCli({"version"}).out, "Tessaly 2000 2.4\n");
    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    EXPECT_NE(help.out.find("Usage: tessaly-cli"), std::string::npos);
    EXPECT_NE(help.out.find("  version"), std::string::npos);
    EXPECT_NE(help.out.find("  help"), std::string::npos);
    EXPECT_EQ(runCli({}).out, help.out);
}

TEST(Cli, HelpDocumentsTheFormatsTheStatusesAndTheGlobalOptions)
{
    const std::string help = runCli({"help"}).out;
    for (const std::string_view documented :
         {"--password-file FILE", "--show-passwords", "--columns FIELD,...",
          "\\t, \\n, \\r and \\\\", "RFC 4180", "\\xHH", "Exit status:\n  0  done\n  1  ",
          "\n  2  bad arguments\n", "\n  3  the database cannot be used"}) {
        EXPECT_NE(help.find(documented), std::string::npos) << documented;
    }
}

TEST(Cli, UnknownCommandsAndMissingValuesAreUsageErrors)
{
    const CliRun unknown = runCli({"frobnicate"});
    EXPECT_EQ(unknown.code, kExitUsage);
    EXPECT_EQ(unknown.err, "tessaly-cli: unknown command \"frobnicate\"; see tessaly-cli --help\n");
    const CliRun noFolder = runCli({"version", "--data"});
    EXPECT_EQ(noFolder.code, kExitUsage);
    EXPECT_EQ(noFolder.err, "tessaly-cli: --data needs a folder\n");
    EXPECT_EQ(runCli({"--data", "/tmp/x", "version"}).out, "Tessaly 2000 2.4\n");
}

} // namespace
} // namespace tessaly::cli
