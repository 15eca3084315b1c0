// The "Firefox" and "Chromium" types: bookmarks read straight from a
// browser's profile, each with the folder that holds it as its category.
#include "core/sqlite.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/json.h"
#include "framework/system_file.h"
#include "framework/text.h"
#include "import/browser_profiles.h"
#include "import/import_file.h"
#include "import/import_readers.h"
#include "import/import_sink.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kUnixEpochInWindowsSeconds = 11644473600;

std::int32_t dayOfUnixSeconds(std::int64_t seconds)
{
    if (seconds <= 0) {
        return 0;
    }
    const std::int32_t day =
        dates::dayNumber(1970, 1, 1) + static_cast<std::int32_t>(seconds / 86400);
    return dates::isValidDay(day) ? day : 0;
}

std::string defaultProfile(bool firefox)
{
    const char* home = std::getenv("HOME");
    for (const BrowserProfile& profile : findBrowserProfiles(home != nullptr ? home : "")) {
        if (profile.firefox == firefox) {
            return profile.path;
        }
    }
    return {};
}

// A private copy of a profile's database (with its write-ahead log), since
// the browser holds the original locked while it runs; removed with the
// object.
class PrivateCopy {
public:
    PrivateCopy() = default;
    ~PrivateCopy()
    {
        if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    // Copies `file` and its "-wal" file; the copy's path, or empty with the
    // reason in `error`.
    std::string make(const std::string& file, std::string& error)
    {
        const char* tmp = std::getenv("TMPDIR");
        const std::string temporaries{tmp != nullptr && *tmp != '\0' ? tmp : "/tmp"};
        // A copy an import killed on its way left behind goes first.
        removeStaleTemporaries(temporaries, "tessaly-import-");
        std::string pattern = temporaries + "/" + temporaryPrefix("tessaly-import-") + "XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = "cannot make a temporary folder: " + SystemResult::fromErrno(errno).text;
            return {};
        }
        folder_ = pattern;
        const fs::path copy = fs::path{folder_} / "places.sqlite";
        std::error_code failed;
        fs::copy_file(file, copy, failed);
        if (!failed && fs::exists(file + "-wal")) {
            fs::copy_file(file + "-wal", copy.string() + "-wal", failed);
        }
        if (failed) {
            error = file + ": " + failed.message();
            return {};
        }
        return copy.string();
    }

private:
    std::string folder_;
};

// The most rows one query of a profile's database gives: far more than a
// browser keeps, so a table that never ends stops here if not on time.
constexpr std::int64_t kMostRows = 4'000'000;

// Bounds the reading of a profile's database in time: past the deadline
// every statement of the connection stops as interrupted. Reading a
// database someone made need not end otherwise (a view that recurses).
class ReadDeadline {
public:
    ReadDeadline(sql::Connection& db, int seconds)
        : db_(db), deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds))
    {
        if (db_.isOpen()) {
            sqlite3_progress_handler(db_.handle(), 10000, &ReadDeadline::check, this);
        }
    }
    ~ReadDeadline()
    {
        if (db_.isOpen()) {
            sqlite3_progress_handler(db_.handle(), 0, nullptr, nullptr);
        }
    }
    ReadDeadline(const ReadDeadline&) = delete;
    ReadDeadline& operator=(const ReadDeadline&) = delete;

    // True once a statement was given up (time or rows).
    bool exceeded() const { return exceeded_; }
    void exceed() { exceeded_ = true; }

private:
    static int check(void* self)
    {
        auto* limit = static_cast<ReadDeadline*>(self);
        if (std::chrono::steady_clock::now() >= limit->deadline_) {
            limit->exceeded_ = true;
            return 1;
        }
        return 0;
    }

    sql::Connection& db_;
    std::chrono::steady_clock::time_point deadline_;
    bool exceeded_ = false;
};

// Runs `sql` and calls `row` for each result row, up to kMostRows; false
// when the statement cannot run (not a Firefox database) or stops early.
template <typename Row>
bool eachRow(sql::Connection& db, const std::string& sql, ReadDeadline& limit, Row row)
{
    sql::Statement statement{db, sql};
    if (!statement.valid()) {
        return false;
    }
    EngineStatus status;
    std::int64_t rows = 0;
    while (statement.step(status)) {
        if (++rows > kMostRows) {
            limit.exceed();
            return false;
        }
        row(statement);
    }
    return status.ok();
}

// The names the browser shows for its root folders.
std::string firefoxRootName(std::string_view guid)
{
    static const std::map<std::string_view, std::string_view> kRoots = {
        {"menu________", "Bookmarks Menu"},
        {"toolbar_____", "Bookmarks Toolbar"},
        {"unfiled_____", "Other Bookmarks"},
        {"mobile______", "Mobile Bookmarks"},
    };
    const auto found = kRoots.find(guid);
    return found == kRoots.end() ? std::string{} : std::string{found->second};
}

} // namespace

ImportSummary importFirefox(Database& database, UiPort& ui, const ImportRequest& request)
{
    ImportSummary summary;
    const std::string places =
        firefoxPlacesFile(request.source.empty() ? defaultProfile(true) : request.source);
    std::error_code error;
    if (places.empty() || !fs::is_regular_file(places, error)) {
        summary.sourceError = (places.empty() ? std::string{"no Firefox profile"} : places) +
                              ": no Firefox bookmark database found";
        return summary;
    }
    PrivateCopy copy;
    const std::string path = copy.make(places, summary.sourceError);
    if (path.empty()) {
        return summary;
    }
    sql::Connection db;
    const bool opened = db.open(path, false, false).ok();
    ReadDeadline limit{db, request.browserReadSeconds};
    std::map<std::int64_t, std::string> folders;
    std::map<std::int64_t, std::vector<std::string>> keywords; // by place
    std::int64_t total = 0;
    const bool readable =
        opened &&
        eachRow(db, "SELECT id, title, guid FROM moz_bookmarks WHERE type = 2", limit,
                [&](sql::Statement& row) {
                    const std::string root = firefoxRootName(row.text(2));
                    folders[row.integer(0)] = root.empty() ? std::string{row.text(1)} : root;
                }) &&
        eachRow(db,
                "SELECT b.fk, t.title FROM moz_bookmarks b JOIN moz_bookmarks t ON b.parent = "
                "t.id JOIN moz_bookmarks r ON t.parent = r.id WHERE r.guid = 'tags________' AND "
                "b.type = 1",
                limit,
                [&](sql::Statement& row) { keywords[row.integer(0)].emplace_back(row.text(1)); }) &&
        eachRow(db, "SELECT count(*) FROM moz_bookmarks WHERE type = 1", limit,
                [&](sql::Statement& row) { total = row.integer(0); });
    if (!readable) {
        summary.sourceError = places + (limit.exceeded() ? ": its bookmarks do not end"
                                                         : ": not a Firefox bookmark database");
        return summary;
    }
    // The word typed in the address bar to reach a bookmark is a keyword
    // too; older profiles have no such table.
    eachRow(db, "SELECT place_id, keyword FROM moz_keywords", limit,
            [&](sql::Statement& row) { keywords[row.integer(0)].emplace_back(row.text(1)); });
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    std::int64_t seen = 0;
    const bool read = eachRow(
        db,
        "SELECT b.parent, b.title, p.url, p.last_visit_date, p.id FROM moz_bookmarks b JOIN "
        "moz_places p ON p.id = b.fk WHERE b.type = 1 AND NOT EXISTS (SELECT 1 FROM moz_bookmarks "
        "t JOIN moz_bookmarks r ON t.parent = r.id WHERE t.id = b.parent AND r.guid = "
        "'tags________') ORDER BY b.parent, b.position",
        limit, [&](sql::Statement& row) {
            if (!sink.keepGoing(total > 0 ? static_cast<double>(seen++) / total : 1.0)) {
                return;
            }
            const std::string location{text::trim(row.text(2))};
            if (location.empty() || location.starts_with("place:")) {
                sink.skip(location.empty() ? SkipReason::NoAddress : SkipReason::BrowserQuery,
                          location);
                return;
            }
            Record bookmark{bookmarkTable()};
            sink.setText(bookmark, BookmarkField::Location, location);
            const std::string title{text::trim(row.text(1))};
            sink.setText(bookmark, BookmarkField::Description, title.empty() ? location : title);
            bookmark.setText(BookmarkField::OriginalFilename, places);
            bookmark.setNumber(BookmarkField::LastVisit,
                               dayOfUnixSeconds(row.integer(3) / 1000000));
            const auto tags = keywords.find(row.integer(4));
            sink.add(bookmark, folders[row.integer(0)],
                     tags == keywords.end() ? std::vector<std::string>{} : tags->second);
        });
    if (!read && !sink.cancelled() && !sink.failed()) {
        // What was stored before the damage stays, and the user is told how much.
        summary.sourceError = places + (limit.exceeded() ? ": its bookmarks do not end"
                                                         : ": the bookmarks could not be read");
        summary.damaged = true;
    }
    return sink.summarize(summary);
}

namespace {

struct ChromiumWalk {
    ImportSink& sink;
    const std::string& file;
    std::size_t seen = 0;
    std::size_t total = 0;

    static std::size_t count(const JsonValue& node)
    {
        std::size_t n = node["type"].string() == "url" ? 1 : 0;
        const JsonValue& children = node["children"];
        for (std::size_t i = 0; i < children.size(); ++i) {
            n += count(children[i]);
        }
        return n;
    }

    bool folder(const JsonValue& node, const std::string& category)
    {
        const JsonValue& children = node["children"];
        for (std::size_t i = 0; i < children.size(); ++i) {
            const JsonValue& child = children[i];
            if (child["type"].string() == "folder") {
                if (!folder(child, child["name"].string())) {
                    return false;
                }
                continue;
            }
            if (child["type"].string() != "url") {
                continue;
            }
            if (!sink.keepGoing(total > 0 ? static_cast<double>(seen++) / total : 1.0)) {
                return false;
            }
            const std::string location{text::trim(child["url"].string())};
            if (location.empty()) {
                sink.skip(SkipReason::NoAddress);
                continue;
            }
            Record bookmark{bookmarkTable()};
            sink.setText(bookmark, BookmarkField::Location, location);
            const std::string title{text::trim(child["name"].string())};
            sink.setText(bookmark, BookmarkField::Description, title.empty() ? location : title);
            bookmark.setText(BookmarkField::OriginalFilename, file);
            // Microseconds since 1601, as a string of digits.
            const double used = std::atof(child["date_last_used"].string().c_str());
            bookmark.setNumber(BookmarkField::LastVisit,
                               dayOfUnixSeconds(static_cast<std::int64_t>(used / 1e6) -
                                                kUnixEpochInWindowsSeconds));
            if (sink.add(bookmark, category) == AddResult::Failed) {
                return false;
            }
        }
        return true;
    }
};

} // namespace

ImportSummary importChromium(Database& database, UiPort& ui, const ImportRequest& request)
{
    ImportSummary summary;
    const std::string file =
        chromiumBookmarksFile(request.source.empty() ? defaultProfile(false) : request.source);
    std::string content;
    if (file.empty()) {
        summary.sourceError = "no Chromium profile: no bookmark file found";
        return summary;
    }
    if (const SystemResult read = readWholeSource(file, content, std::size_t{256} << 20U);
        !read.ok()) {
        summary.sourceError = file + ": " + read.text;
        return summary;
    }
    const std::optional<JsonValue> json = JsonValue::parse(content);
    content.clear();
    if (!json || !(*json)["roots"].isObject()) {
        summary.sourceError = file + ": not a Chromium bookmark file";
        return summary;
    }
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    const JsonValue& roots = (*json)["roots"];
    ChromiumWalk walk{sink, file};
    // The names the browser shows for its root folders.
    const std::pair<const char*, const char*> kRoots[] = {{"bookmark_bar", "Bookmarks bar"},
                                                          {"other", "Other bookmarks"},
                                                          {"synced", "Mobile bookmarks"}};
    for (const auto& [key, name] : kRoots) {
        walk.total += ChromiumWalk::count(roots[key]);
    }
    for (const auto& [key, name] : kRoots) {
        if (!walk.folder(roots[key], name)) {
            break;
        }
    }
    return sink.summarize(summary);
}

} // namespace tessaly
