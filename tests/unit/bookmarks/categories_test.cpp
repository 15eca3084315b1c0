#include "bookmarks/categories.h"
#include "core/file_version.h"
#include "core/tables.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

class CategoriesTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    Record category(std::string_view name, std::string_view description = {})
    {
        Record r{categoryTable()};
        r.setText(CategoryField::Category, name);
        r.setText(CategoryField::Description, description);
        return r;
    }

    std::vector<std::string> names(bool withReserved)
    {
        std::vector<std::string> out;
        for (const Record& r : listCategories(db, withReserved)) {
            out.push_back(r.text(CategoryField::Category));
        }
        return out;
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    const Record none{categoryTable()};
};

TEST_F(CategoriesTest, ReservedCategoriesAreLeftOutOnlyWhereAsked)
{
    for (const char* name : {"News", "_before all", "_After All", "Art"}) {
        ASSERT_EQ(saveCategory(db, none, category(name)), kLevelDone);
    }
    EXPECT_EQ(names(false), (std::vector<std::string>{"Art", "News"}));
    EXPECT_EQ(names(true).size(), 4U);
    EXPECT_TRUE(isReservedCategory("_BEFORE ALL  "));
    EXPECT_FALSE(isReservedCategory("_Before"));
}

TEST_F(CategoriesTest, ABlankOrDuplicateNameIsRefused)
{
    EXPECT_EQ(saveCategory(db, none, category("   ")), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Missing Information");
    EXPECT_EQ(ui.last().text, "Category must be entered.");
    ASSERT_EQ(saveCategory(db, none, category("News")), kLevelDone);
    EXPECT_EQ(saveCategory(db, none, category("NEWS")), kLevelNotify);
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    EXPECT_EQ(ui.last().text,
              "Adding this Categories record creates a duplicate entry for the key: Category");
}

TEST_F(CategoriesTest, RenameAndDeleteReachTheBookmarks)
{
    ASSERT_EQ(saveCategory(db, none, category("News")), kLevelDone);
    ASSERT_EQ(db.bookmarks().use(), kLevelDone);
    for (const char* location : {"http://a/", "http://b/"}) {
        Record b{bookmarkTable()};
        b.setText(BookmarkField::Location, location);
        b.setText(BookmarkField::Category, "News");
        ASSERT_EQ(db.bookmarks().insert(b), kLevelDone);
    }
    Record stored = listCategories(db, true).front();
    Record renamed = stored;
    renamed.setText(CategoryField::Category, "Headlines");
    ASSERT_EQ(saveCategory(db, stored, renamed), kLevelDone);
    Record b{bookmarkTable()};
    b.setText(BookmarkField::Location, "http://a/");
    ASSERT_EQ(db.bookmarks().fetch(0, b), kLevelDone);
    EXPECT_EQ(b.text(BookmarkField::Category), "Headlines");

    stored = listCategories(db, true).front();
    ui.answers = {ButtonNo};
    EXPECT_EQ(deleteCategory(db, stored), kLevelCancel);
    EXPECT_EQ(ui.last().title, "Confirm Delete");
    EXPECT_EQ(db.bookmarks().file().records(), 2);
    ui.answers = {ButtonYes};
    EXPECT_EQ(deleteCategory(db, stored), kLevelDone);
    EXPECT_EQ(db.bookmarks().file().records(), 0);
    EXPECT_TRUE(listCategories(db, true).empty());
}

TEST_F(CategoriesTest, HtmlRowsOnePerType)
{
    ASSERT_EQ(saveCategory(db, none, category("News")), kLevelDone);
    Record html{catHtmlTable()};
    html.setText(CatHtmlField::Category, "News");
    html.setText(CatHtmlField::TypeOfHTML, "Before Category");
    html.setText(CatHtmlField::HTMLtoAdd, "<hr>");
    ASSERT_EQ(saveCategoryHtml(db, html), kLevelDone);
    Record again = html;
    again.position = 0;
    EXPECT_EQ(saveCategoryHtml(db, again), kLevelNotify) << "a second row of the same type";
    EXPECT_EQ(ui.last().title, "Duplicate Key Error");
    html.setText(CatHtmlField::HTMLtoAdd, "<hr><hr>");
    ASSERT_EQ(saveCategoryHtml(db, html), kLevelDone);
    const auto rows = categoryHtml(db, "news");
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].text(CatHtmlField::HTMLtoAdd), "<hr><hr>");
    EXPECT_TRUE(categoryHtml(db, "Other").empty());
}

} // namespace
} // namespace tessaly
