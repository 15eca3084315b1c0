#include "core/engine.h"
#include "core/file_version.h"
#include "core/record_file.h"
#include "core/tables.h"
#include "core/warnings.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace tessaly {
namespace {

class WarningsTest : public ::testing::Test {
protected:
    test::ScriptedUi ui;
    Warnings warnings{ui};
};

TEST_F(WarningsTest, WordForWordWithTheirButtons)
{
    warnings.setEngineError(EngineStatus::error(kRecordNotFound));
    EXPECT_EQ(warnings.warn(35, "Categories   "), 0U);
    EXPECT_EQ(ui.last().title, "Record Retrieval Error");
    EXPECT_EQ(ui.last().text, "Error: (Record Not Found (35)) attempting to access a record from "
                              "the Categories file.  Returning to previous window.");
    EXPECT_EQ(ui.last().icon, MessageIcon::Exclamation);

    ui.answers = {ButtonCancel};
    EXPECT_EQ(warnings.warn(16), static_cast<unsigned>(ButtonCancel));
    EXPECT_EQ(ui.last().buttons, ButtonYes | ButtonNo | ButtonCancel);
    EXPECT_EQ(ui.last().defaultButton, ButtonCancel);

    warnings.warn(34, "Update", "TESSLY");
    EXPECT_EQ(ui.last().text, "Error: (Record Not Found (35)) attempting to frame the update "
                              "transaction on TESSLY.  Update transaction cancelled.");
    warnings.warn(10, "Rating", "0 and 99");
    EXPECT_EQ(ui.last().text, "The value of Rating must be between 0 and 99.");
}

TEST_F(WarningsTest, TextsThatDependOnTheirArguments)
{
    warnings.warn(29, "Down");
    EXPECT_EQ(ui.last().title, "End of File Error");
    EXPECT_EQ(ui.last().icon, MessageIcon::Question);
    warnings.warn(29, "Up");
    EXPECT_EQ(ui.last().title, "Beginning of File Error");
    EXPECT_EQ(ui.last().text, "The beginning of the viewed file was encountered.  Do you want to "
                              "start again from the end of the file?");

    warnings.setEngineError(EngineStatus::error(kFileLocked));
    warnings.warn(31, "Put", "TESSLY");
    EXPECT_EQ(ui.last().title, "Process PUT Error");
    EXPECT_EQ(ui.last().text, "An error was experienced when making changes to the TESSLY file.  "
                              "Error: File Is Locked (32)");
    warnings.warn(31, "Delete", "TESSLY");
    EXPECT_EQ(ui.last().title, "Process DELETE Error");

    warnings.warn(15, "the disk is full");
    EXPECT_EQ(ui.last().text, "An error (File Is Locked (32)) was experienced when attempting to "
                              "update a record from the file.  Probable Cause: the disk is full.");
    warnings.setEngineError(EngineStatus::error(89));
    warnings.warn(15, "x");
    EXPECT_EQ(ui.last().text, "This record was changed by another station.");
}

TEST_F(WarningsTest, ErrorTextRules)
{
    EngineStatus system = EngineStatus::systemError(ENOSPC);
    warnings.setEngineError(system);
    EXPECT_EQ(warnings.errorText(), "No space left on device (28)");

    warnings.saveError(EngineStatus::error(kAccessDenied));
    EXPECT_EQ(warnings.errorText(), "Access Denied (5)") << "a saved error goes first";
    EXPECT_EQ(warnings.errorText(), "No space left on device (28)") << "and only once";

    EngineStatus wordy = EngineStatus::error(kOperatingSystemError);
    wordy.systemText = std::string(200, 'w') + "   ";
    wordy.systemCode = 5;
    warnings.setEngineError(wordy);
    EXPECT_EQ(warnings.errorText(), std::string(150, 'w'));
}

TEST_F(WarningsTest, HaltingWarningsEndTheProgramWithTheirText)
{
    warnings.setEngineError(EngineStatus::error(kInvalidRecordDeclaration));
    EXPECT_THROW(warnings.warn(1, "TESSLY"), test::HaltRequested);
    ASSERT_EQ(ui.shown.size(), 2U);
    EXPECT_EQ(ui.shown[0].text, "Error: (Invalid Record Declaration (47)) accessing TESSLY.  "
                                "Press OK to end this application.");
    EXPECT_EQ(ui.shown[1].text, "Invalid File!");

    ui.answers = {ButtonNo};
    EXPECT_THROW(warnings.warn(2, "TESSLY"), test::HaltRequested);
    EXPECT_EQ(ui.last().text, "Invalid Key!");
}

class OpenFileTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    test::TempFolder folder;
    Engine engine{folder.path()};
    RecordFile categories{engine, categoryTable()};
    test::ScriptedUi ui;
    Warnings warnings{ui};
};

TEST_F(OpenFileTest, AMissingFileIsCreatedWhenAskedAndOtherwiseEndsTheProgram)
{
    EXPECT_TRUE(openFile(categories, warnings, true, false, kAccessReadOnly, true).ok());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(categories.records(), 0);

    RecordFile html{engine, catHtmlTable()};
    EXPECT_FALSE(openFile(html, warnings, false, true, kAccessReadWrite, true).ok())
        << "never-create leaves the decision to the caller";
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_THROW(openFile(html, warnings, false, false, kAccessReadWrite, true),
                 test::HaltRequested);
    EXPECT_EQ(ui.shown[0].title, "File Creation Error");
    EXPECT_EQ(ui.shown[0].text, "Error: (File Not Found (2)) creating CatHTML.  Press OK to end "
                                "this application.");
    EXPECT_EQ(ui.shown[1].text, "File Creation Error!");
}

TEST_F(OpenFileTest, BrokenKeysAreRebuiltOnYes)
{
    ASSERT_TRUE(categories.create().ok());
    engine.close();
    sqlite3* raw = nullptr;
    sqlite3_open(folder.file("URL_C.tps").c_str(), &raw);
    sqlite3_exec(raw, "DROP INDEX Categories_K_CATEGORY", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    ui.answers = {ButtonYes};
    EXPECT_TRUE(openFile(categories, warnings, true, false, kAccessReadWrite, true).ok());
    ASSERT_EQ(ui.shown.size(), 1U);
    EXPECT_EQ(ui.last().text, "Categories key file is invalid.  Do you want to rebuild the key?");
}

TEST_F(OpenFileTest, ALockedFileThatIsFreedInTimeOpensWithoutAWarning)
{
    ASSERT_TRUE(categories.create().ok());
    engine.close();
    // Another process holds the file longer than the engine's usual wait,
    // but less than the ten seconds "Recover=10" grants.
    sqlite3* other = nullptr;
    sqlite3_open(folder.file("URL_C.tps").c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread holder([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const EngineStatus status = openFile(categories, warnings, true, false, kAccessReadWrite, true);
    holder.join();
    sqlite3_close(other);
    EXPECT_TRUE(status.ok()) << status.text;
    EXPECT_TRUE(ui.shown.empty());
}

} // namespace
} // namespace tessaly
