#pragma once

#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "export/export_file.h"
#include "framework/dates.h"
#include "framework/picture.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tessaly::test {

// A data folder with a bookmark file, an output folder and the exports
// between them, on a fixed day.
class ExportTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kNow = 1700000000;

    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        setShortDatePattern("MM/dd/yyyy");
    }

    void add(std::string_view location, std::string_view description, std::string_view category,
             std::int64_t rating = 0, std::string_view siteInfo = {})
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        r.setNumber(BookmarkField::Rating, rating);
        r.setText(BookmarkField::SiteInfo, siteInfo);
        ASSERT_EQ(db.addBookmarkWithCategory(r), 0) << location;
    }

    void addHtml(std::string_view category, std::string_view type, std::string_view html)
    {
        FileManager& file = db.catHtml();
        file.use();
        Record r{catHtmlTable()};
        r.setText(CatHtmlField::Category, category);
        r.setText(CatHtmlField::TypeOfHTML, type);
        r.setText(CatHtmlField::HTMLtoAdd, html);
        EXPECT_EQ(file.insert(r), 0);
        file.close();
    }

    void addKeyword(std::string_view location, std::string_view keyword)
    {
        FileManager& file = db.keywords();
        file.use();
        Record r{keywordTable()};
        file.prime(r);
        r.setText(KeywordField::Location, location);
        r.setText(KeywordField::Keyword, keyword);
        EXPECT_EQ(file.insert(r), 0);
        file.close();
    }

    ExportResult run(std::string type, std::string order, std::string name = "Links.htm")
    {
        settings.type = std::move(type);
        settings.order = std::move(order);
        settings.file = out.file(name);
        ExportContext context;
        context.today = dates::dayNumber(2026, 3, 9);
        context.now = kNow;
        context.bodyInFrame = bodyInFrame;
        context.query = query;
        return exportFile(db, ui, settings, context);
    }

    std::string read(const std::string& name) const { return out.read(name); }

    // The lines of an output file.
    std::vector<std::string> lines(const std::string& name) const
    {
        std::vector<std::string> result;
        const std::string text = read(name);
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find('\n', pos);
            result.push_back(text.substr(pos, end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return result;
    }

    std::vector<std::string> filesInOut() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
    TempFolder out;
    ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    ExportSettings settings;
    bool bodyInFrame = false;
    std::optional<std::string> query;
};

} // namespace tessaly::test
