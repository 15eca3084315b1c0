#pragma once

#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "dispatcher.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessaly::cli::test {

using tessaly::test::TempFolder;

// Runs commands in-process on a fresh data folder; the working directory
// moves into it, as the programs do, and comes back afterwards.
class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override { before_ = ::getcwd(nullptr, 0); }
    void TearDown() override
    {
        EXPECT_EQ(::chdir(before_), 0);
        std::free(before_);
    }

    int run(std::vector<std::string> arguments)
    {
        std::ostringstream o;
        const int code = runTo(o, std::move(arguments));
        out = o.str();
        return code;
    }

    // The same with standard output going to `o`.
    int runTo(std::ostream& o, std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--data", folder.path()});
        std::ostringstream e;
        Dispatcher dispatcher;
        const int code = dispatcher.run(arguments, o, e);
        err = e.str();
        return code;
    }

    // Stores rows the way the windows and imports would, bypassing the
    // command line's own argument handling.
    void store(Record record)
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        tessaly::test::ScriptedUi ui;
        MessageManager messages{ui};
        Database database{messages, folder.path()};
        ASSERT_EQ(database.categoryRelations().open(), kLevelDone);
        ASSERT_EQ(database.bookmarkRelations().open(), kLevelDone);
        FileManager& file = &record.table() == &bookmarkTable()  ? database.bookmarks()
                            : &record.table() == &keywordTable() ? database.keywords()
                                                                 : database.details();
        ASSERT_EQ(file.insert(record), kLevelDone)
            << (ui.shown.empty() ? "" : ui.last().title + ": " + ui.last().text);
        database.closeAll();
    }

    TempFolder folder;
    std::string out;
    std::string err;

private:
    char* before_ = nullptr;
};

// What a run of the real tessaly-cli program gave.
struct ProgramRun {
    int code = -1; // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

struct ProgramSetup {
    std::string stdinPath = "/dev/null";
    std::string stdoutPath;    // empty: captured
    bool closedPipe = false;   // standard output is a pipe nobody reads
    bool noTerminal = true;    // a new session without a controlling terminal
    bool asNobody = false;     // drop root, so file permissions hold
    std::string workingFolder; // where the program is started; empty: here
};

// Runs the tessaly-cli program with `arguments` and waits for it.
ProgramRun runProgram(const std::vector<std::string>& arguments, const ProgramSetup& setup = {});

// In a child process: becomes tessaly-cli with `arguments`; never returns.
[[noreturn]] void execProgram(const std::vector<std::string>& arguments);

} // namespace tessaly::cli::test
