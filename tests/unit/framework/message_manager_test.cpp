#include "framework/halt.h"
#include "framework/message_manager.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessaly {
namespace {

class MessageManagerTest : public ::testing::Test {
protected:
    void SetUp() override { MessageManager::clearContext(); }
    void TearDown() override { MessageManager::clearContext(); }

    test::ScriptedUi ui;
    MessageManager messages{ui};
};

TEST_F(MessageManagerTest, StandardTableHoldsItsMessagesWordForWord)
{
    const MessageTable table = standardMessageTable();
    EXPECT_EQ(table.size(), 40U);
    for (std::uint16_t number = 1; number <= 41; ++number) {
        EXPECT_EQ(table.find(number) != nullptr, number != 29) << number;
    }
    EXPECT_EQ(table.find(19)->text, "%File File Load Error.  Error: %ErrorText.");
    EXPECT_EQ(table.find(23)->text, "File (%File) could not be opened.  Error: %ErrorText.");
    EXPECT_EQ(table.find(1)->text, "Error: (%ErrorText) attempting to access a record from the "
                                   "%File file.  Returning to previous window.");
    EXPECT_EQ(table.find(39)->level, 2);
    EXPECT_EQ(table.find(8)->title, "Changes will be lost!");
    EXPECT_EQ(table.find(15)->text, "The value of %Field must be in the list : %Message.");
}

TEST_F(MessageManagerTest, FillsPlaceholdersFromTheContext)
{
    MessageManager::setFile("Configuration [Configuration]");
    MessageManager::setError(5, "Access Denied");
    EXPECT_EQ(messages.filledText(23), "File (Configuration [Configuration]) could not be opened.  "
                                       "Error: Access Denied (5).");

    MessageManager::setField("Category");
    MessageManager::setMessage("Categories");
    EXPECT_EQ(messages.filledText(14),
              "The value of Category must be found in the Categories file.");
}

TEST_F(MessageManagerTest, ErrorTextOfAFileSystemErrorShowsTheSystemsWords)
{
    MessageManager::setFile("URLDATA");
    MessageManager::setError(kFileSystemErrorCode, "File System Error");
    MessageManager::setFileError(28, "No space left on device");
    EXPECT_EQ(messages.filledText(10), "Error: (No space left on device (28)) creating URLDATA.");
}

TEST_F(MessageManagerTest, PlaceholdersMatchInAnyLetterCaseAndEveryOccurrence)
{
    MessageTable& table = messages.table();
    table.add({900, 5, "Test", "%file, %FILE and %FiLe; %errorcode/%error; %MESSAGE %field"});
    MessageManager::setFile("F");
    MessageManager::setError(33, "Record Not Available");
    MessageManager::setMessage("M");
    MessageManager::setField("D");
    EXPECT_EQ(messages.filledText(900), "F, F and F; 33/Record Not Available; M D");
}

TEST_F(MessageManagerTest, LongPlaceholderNamesAreNotTakenForShorterOnes)
{
    messages.table().add({901, 5, "Test", "%FileErrorCode|%FileError|%File|%ErrorCode|%Error"});
    MessageManager::setFile("URL_C");
    MessageManager::setError(2, "File Not Found");
    MessageManager::setFileError(13, "Permission denied");
    EXPECT_EQ(messages.filledText(901), "13|Permission denied|URL_C|2|File Not Found");
}

TEST_F(MessageManagerTest, InsertedValuesAreNotFilledAgain)
{
    MessageManager::setFile("odd%Message%Field.tps");
    MessageManager::setMessage("should not appear");
    MessageManager::setError(2, "File Not Found");
    EXPECT_EQ(messages.filledText(23),
              "File (odd%Message%Field.tps) could not be opened.  Error: File Not Found (2).");
}

TEST_F(MessageManagerTest, ProcedureAndPrevious)
{
    MessageTable& table = messages.table();
    table.add({902, 5, "First", "first text"});
    table.add({902, 5, "Second", "[%Previous] in %Procedure"});
    EXPECT_EQ(messages.filledText(902), "[first text] in %Procedure");
    {
        const ProcedureScope outer{"BrowseTESSLY"};
        const ProcedureScope inner{"UpdateTESSLY"};
        EXPECT_EQ(messages.filledText(902), "[first text] in UpdateTESSLY");
    }
    EXPECT_EQ(ProcedureScope::current(), "");
    table.add({903, 5, "Only", "<%Previous>"});
    EXPECT_EQ(messages.filledText(903), "<>");
}

TEST_F(MessageManagerTest, TheEntryAddedLastWins)
{
    messages.table().add({22, 5, "Nothing Here", "Replaced text."});
    messages.raise(22);
    EXPECT_EQ(ui.last().title, "Nothing Here");
    EXPECT_EQ(ui.last().text, "Replaced text.");
}

TEST_F(MessageManagerTest, FillingIsCutAt2000Characters)
{
    MessageManager::setFile(std::string(1500, 'f'));
    MessageManager::setError(46, std::string(1000, 'e'));
    const std::string filled = messages.filledText(26);
    EXPECT_EQ(filled.size(), 2000U);
    EXPECT_TRUE(filled.starts_with("Error: (eee"));

    MessageManager::setFile(std::string(3000, 'x'));
    EXPECT_EQ(messages.filledText(27).size(), 2000U);
}

TEST_F(MessageManagerTest, ActsByLevel)
{
    // 5: an OK box with the exclamation icon.
    EXPECT_EQ(messages.raise(22), kLevelNotify);
    EXPECT_EQ(ui.last().title, "No Records");
    EXPECT_EQ(ui.last().text, "There are no records available to process.");
    EXPECT_EQ(ui.last().buttons, ButtonOk);
    EXPECT_EQ(ui.last().icon, MessageIcon::Exclamation);

    // 1: a question, Yes by default; Yes gives 0, No gives 4.
    ui.answers = {ButtonYes, ButtonNo};
    EXPECT_EQ(messages.raise(9), kLevelBenign);
    EXPECT_EQ(ui.last().buttons, ButtonYes | ButtonNo);
    EXPECT_EQ(ui.last().defaultButton, ButtonYes);
    EXPECT_EQ(ui.last().icon, MessageIcon::Question);
    EXPECT_EQ(messages.raise(9), kLevelCancel);

    // 4 acts like 1; 0 shows nothing.
    messages.table().add({904, 4, "Cancel?", "Stop?"});
    messages.table().add({905, 0, "Quiet", "never shown"});
    ui.answers = {ButtonNo};
    EXPECT_EQ(messages.raise(904), kLevelCancel);
    const std::size_t shown = ui.shown.size();
    EXPECT_EQ(messages.raise(905), kLevelBenign);
    EXPECT_EQ(ui.shown.size(), shown);
}

TEST_F(MessageManagerTest, FatalLevelsShowTheEndNoticeAndHalt)
{
    MessageManager::setFile("URL_C");
    MessageManager::setError(2, "File Not Found");
    for (const std::uint16_t number : {23, 39}) {
        try {
            messages.raise(number);
            FAIL() << "message " << number << " must halt";
        } catch (const test::HaltRequested&) {
        }
        EXPECT_TRUE(ui.last().text.ends_with("  Press OK to end this application"))
            << ui.last().text;
        EXPECT_EQ(ui.last().buttons, ButtonOk);
    }
    EXPECT_EQ(ui.last().text,
              "Attempt to use file (URL_C) before it was opened  Press OK to end this application");
    messages.table().add({906, 7, "Odd level", "beyond five"});
    EXPECT_THROW(messages.raise(906), test::HaltRequested);
}

TEST_F(MessageManagerTest, MessageUsesTheButtonsItIsGiven)
{
    ui.answers = {ButtonCancel};
    EXPECT_EQ(messages.message(35, ButtonYes | ButtonNo | ButtonCancel, ButtonYes), ButtonCancel);
    EXPECT_EQ(ui.last().title, "Save Record");
    EXPECT_EQ(ui.last().buttons, ButtonYes | ButtonNo | ButtonCancel);
    EXPECT_EQ(messages.raise(999), kLevelNotify) << "an unknown number is a notice, not a crash";
    EXPECT_EQ(ui.last().text, "Message 999 is not defined.");
}

TEST_F(MessageManagerTest, ContextBelongsToTheThread)
{
    MessageManager::setFile("window's file");
    std::string seen;
    std::thread worker([&] {
        MessageManager::setFile("worker's file");
        seen = MessageManager::context().file;
    });
    worker.join();
    EXPECT_EQ(seen, "worker's file");
    EXPECT_EQ(MessageManager::context().file, "window's file");
}

TEST(PackedMessages, LoadReadsWhatPackWroteAndStopsAtATruncatedEntry)
{
    const std::vector<MessageEntry> entries = {{7, 5, "T", "x"},
                                               {300, 1, "Long", std::string(300, 'y')}};
    std::vector<std::uint8_t> packed = MessageTable::pack(entries);
    MessageTable table;
    ASSERT_TRUE(table.load(packed));
    EXPECT_EQ(table.find(300)->text.size(), 255U) << "texts are one length byte long at most";
    EXPECT_EQ(table.find(300)->level, 1);

    packed.resize(packed.size() - 10);
    MessageTable truncated;
    EXPECT_FALSE(truncated.load(packed));
    EXPECT_EQ(truncated.size(), 1U);
    EXPECT_FALSE(MessageTable{}.load({}));
}

TEST(Halt, HaltEndsTheProcessAfterRunningItsHooks)
{
    // In a child process: a fatal message with the real halt must run the
    // hooks (where the database rolls back) and end with the level as code.
    test::TempFolder folder;
    const std::string marker = folder.file("hook-ran");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        addHaltHook([&marker] { std::ofstream(marker) << "rolled back"; });
        test::ScriptedUi ui;
        ui.haltForReal = true;
        MessageManager messages{ui};
        MessageManager::setFile("URLDATA");
        messages.raise(10);
        std::_Exit(99); // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(folder.read("hook-ran"), "rolled back");
}

} // namespace
} // namespace tessaly
