// Filters 100,000 bookmarks with record expressions and prints how the time
// compares with the limit (a tenth of a second), with hand-written C++ doing
// the same test (the floor), and with SQLite evaluating the same condition
// over an in-memory table (a peer).
#include "core/bookmark_schema.h"
#include "framework/expression.h"
#include "framework/text.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 100000;
constexpr double kLimitSeconds = 0.1;

struct Bookmark final : FieldSource {
    std::string location, description, category, keyword;
    double rating = 0;
    double lastVisit = 0;

    Value field(int index) const override
    {
        switch (static_cast<BookmarkField>(index)) {
        case BookmarkField::Location:
            return Value::view(location);
        case BookmarkField::Description:
            return Value::view(description);
        case BookmarkField::Category:
            return Value::view(category);
        case BookmarkField::Keyword:
            return Value::view(keyword);
        case BookmarkField::Rating:
            return Value::number(rating);
        case BookmarkField::LastVisit:
            return Value::number(lastVisit);
        default:
            return Value::view({});
        }
    }
};

std::vector<Bookmark> makeBookmarks()
{
    static const char* categories[] = {"News", "Linux", "Science", "Shopping", "Travel", "Music"};
    static const char* words[] = {"daily", "open",   "source",  "linux", "kernel",
                                  "guide", "review", "journal", "music", "travel"};
    std::mt19937 random{42};
    std::vector<Bookmark> bookmarks(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        Bookmark& b = bookmarks[static_cast<std::size_t>(i)];
        b.location = "http://site" + std::to_string(i) + ".example.com/" + words[random() % 10];
        b.description = std::string{words[random() % 10]} + " " + words[random() % 10] + " " +
                        words[random() % 10] + " page " + std::to_string(i);
        b.category = categories[random() % 6];
        b.keyword = words[random() % 10];
        b.rating = static_cast<double>(random() % 10);
        b.lastVisit = 80000 + static_cast<double>(random() % 3000);
    }
    return bookmarks;
}

template <typename F> double bestOf(int runs, F&& f)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

struct Case {
    const char* name;
    const char* filter;
    const char* sql;
    std::function<bool(const Bookmark&)> native;
};

double sqliteSeconds(const std::vector<Bookmark>& bookmarks, const char* where, long& count)
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE b(location TEXT, description TEXT, category TEXT, keyword TEXT, "
                 "rating INTEGER, lastvisit INTEGER)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO b VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
    for (const Bookmark& b : bookmarks) {
        sqlite3_bind_text(insert, 1, b.location.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, b.description.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, b.category.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, b.keyword.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 5, static_cast<int>(b.rating));
        sqlite3_bind_int(insert, 6, static_cast<int>(b.lastVisit));
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const std::string query = std::string{"SELECT count(*) FROM b WHERE "} + where;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, query.c_str(), -1, &select, nullptr);
    const double seconds = bestOf(5, [&] {
        sqlite3_reset(select);
        sqlite3_step(select);
        count = sqlite3_column_int(select, 0);
    });
    sqlite3_finalize(select);
    sqlite3_close(db);
    return seconds;
}

} // namespace

int main()
{
    const std::vector<Bookmark> bookmarks = makeBookmarks();
    const SchemaResolver resolver{bookmarkSchema()};
    const std::vector<Case> cases = {
        {"category and rating", "URL:Category = 'Linux' AND URL:Rating >= 5",
         "category = 'Linux' AND rating >= 5",
         [](const Bookmark& b) {
             return text::equal(b.category, "Linux") && b.rating >= 5;
         }},
        {"contains, any case", "INSTRING('LINUX', UPPER(URL:Description), 1, 1) > 0",
         "instr(upper(description), 'LINUX') > 0",
         [](const Bookmark& b) {
             return text::upper(b.description).find("LINUX") != std::string::npos;
         }},
        {"begins with, or",
         "SUB(URL:Location, 1, 11) = 'http://site' AND (URL:Keyword = 'music' "
         "OR URL:LastVisit > 82000)",
         "substr(location, 1, 11) = 'http://site' AND (keyword = 'music' OR lastvisit > 82000)",
         [](const Bookmark& b) {
             return b.location.starts_with("http://site") &&
                    (b.keyword == "music" || b.lastVisit > 82000);
         }},
    };
    std::printf("Filtering %d bookmarks (best of 5 runs)\n", kRecords);
    std::printf("%-22s %10s %10s %10s %8s %12s %12s\n", "case", "ours ms", "C++ ms", "SQLite ms",
                "matches", "limit/ours", "ours/SQLite");
    bool withinLimit = true;
    for (const Case& c : cases) {
        const Expression expression = Expression::compile(c.filter, resolver);
        if (!expression.ok()) {
            std::printf("%s: %s\n", c.name, expression.error().describe().c_str());
            return 1;
        }
        long ours = 0;
        const double oursSeconds = bestOf(5, [&] {
            ours = std::count_if(bookmarks.begin(), bookmarks.end(),
                                 [&](const Bookmark& b) { return expression.matches(b); });
        });
        long native = 0;
        const double nativeSeconds = bestOf(
            5, [&] { native = std::count_if(bookmarks.begin(), bookmarks.end(), c.native); });
        long sqlite = 0;
        const double sqliteTime = sqliteSeconds(bookmarks, c.sql, sqlite);
        if (ours != native || ours != sqlite) {
            std::printf("%s: counts differ (ours %ld, C++ %ld, SQLite %ld)\n", c.name, ours, native,
                        sqlite);
            return 1;
        }
        withinLimit = withinLimit && oursSeconds < kLimitSeconds;
        std::printf("%-22s %10.2f %10.2f %10.2f %8ld %12.1f %12.2f\n", c.name, oursSeconds * 1e3,
                    nativeSeconds * 1e3, sqliteTime * 1e3, ours, kLimitSeconds / oursSeconds,
                    oursSeconds / sqliteTime);
    }
    std::printf("limit/ours > 1 means faster than the limit of %.0f ms\n", kLimitSeconds * 1e3);
    return withinLimit ? 0 : 1;
}
