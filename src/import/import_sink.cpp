#include "import/import_sink.h"

#include "core/tables.h"
#include "framework/record_schema.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/category_guess.h"

#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {

using Clock = std::chrono::steady_clock;

// A group's rows stay in the page cache until its commit: bounded by count
// as well as by time, so a fast source keeps memory flat.
constexpr int kCommitAfterWrites = 50000;
// Asking the window whether Cancel was pressed costs a trip to the GUI
// thread; a twentieth of a second is as quick as a hand.
constexpr auto kPollEvery = std::chrono::milliseconds(50);

// What the progress window says the run is doing until a reader says more:
// the file's own name, which the user chose.
std::string readingText(std::string_view source)
{
    std::string_view path = text::clip(source);
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1); // a profile folder
    }
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return "Reading " + (name.empty() ? std::string{"the bookmarks"} : std::string{name}) +
           "\u2026";
}

} // namespace

ImportSink::ImportSink(Database& database, UiPort& ui, const ImportRequest& request,
                       CategoryRules rules)
    : database_(database), ui_(ui), request_(request), rules_(std::move(rules)),
      reading_(readingText(request.source))
{}

ImportSink::~ImportSink()
{
    if (open_) {
        finish();
    }
}

bool ImportSink::begin(std::string_view status, std::string_view caption)
{
    if (database_.bookmarks().use() != kLevelDone) {
        return false;
    }
    if (database_.categories().use() != kLevelDone) {
        database_.bookmarks().close();
        return false;
    }
    if (database_.keywords().use() != kLevelDone) {
        database_.categories().close();
        database_.bookmarks().close();
        return false;
    }
    open_ = true;
    database_.engine().setBatchWrites(true);
    ui_.beginProgress(caption);
    ui_.reportProgress(0, progressText(0, status));
    if (const EngineStatus begun = database_.engine().begin(); !begun.ok()) {
        fail(database_.bookmarks(), begun);
        return false;
    }
    grouped_ = true;
    lastCommit_ = Clock::now();
    lastPoll_ = {}; // the first step asks at once
    return true;
}

void ImportSink::fail(FileManager& file, const EngineStatus& status)
{
    if (!failed_) {
        failed_ = true;
        file.reportWriteError(status, true);
    }
}

bool ImportSink::commitGroup(bool reopen)
{
    if (!grouped_) {
        return !failed_;
    }
    grouped_ = false;
    if (failed_) {
        database_.engine().rollback();
        return false;
    }
    Engine& engine = database_.engine();
    const EngineStatus committed = reopen ? engine.commitAndContinue() : engine.commit();
    pending_ = 0;
    lastCommit_ = Clock::now();
    if (!committed.ok()) {
        // A failed commit is undone; a failed begin leaves nothing open.
        fail(database_.bookmarks(), committed);
        return false;
    }
    grouped_ = reopen;
    return true;
}

std::string ImportSink::chooseCategory(const Record& bookmark, std::string_view sourceCategory,
                                       bool& create)
{
    const std::string source{text::clip(sourceCategory)};
    create = false;
    switch (request_.assignment) {
    case CategoryAssignment::Selected:
        return request_.category;
    case CategoryAssignment::None:
        return rules_.noneKeepsSource ? source : std::string{};
    case CategoryAssignment::Ask: {
        create = true;
        std::optional<std::string> chosen;
        if (request_.ask) {
            chosen = request_.ask(bookmark, source);
        }
        if (chosen && !text::trim(*chosen).empty()) {
            return std::string{text::trim(*chosen)};
        }
        return rules_.askCancelKeepsSource ? source : rules_.blankFallback;
    }
    case CategoryAssignment::Guess:
        break;
    }
    create = true;
    return source.empty() ? rules_.blankFallback : source;
}

bool ImportSink::ensureCategory(const std::string& name)
{
    const std::string folded = text::foldKey(name);
    if (folded.empty() || knownCategories_.contains(folded)) {
        return true;
    }
    FileManager& categories = database_.categories();
    Record category{categoryTable()};
    category.setText(CategoryField::Category, name);
    if (categories.tryFetch(0, category) != kLevelDone) {
        category.clear();
        category.setText(CategoryField::Category, name);
        const EngineStatus added = categories.file().add(category);
        if (!added.ok() && added.code != kDuplicateKey) {
            fail(categories, added);
            return false;
        }
        ++pending_;
    }
    knownCategories_.insert(folded);
    return true;
}

void ImportSink::setText(Record& bookmark, BookmarkField field, std::string_view value)
{
    bookmark.setText(field, value);
    const auto width = static_cast<std::size_t>(bookmarkTable().width(static_cast<int>(field)));
    if (utf8::length(text::clip(value)) > width &&
        std::find(pendingCuts_.begin(), pendingCuts_.end(), static_cast<int>(field)) ==
            pendingCuts_.end()) {
        pendingCuts_.push_back(static_cast<int>(field));
    }
}

void ImportSink::skip(SkipReason reason, std::string_view location)
{
    ++tally_.skipped[reason];
    static const std::string kWhy[] = {
        "skipped: a browser query", "skipped: no address", "skipped: could not be read",
        "skipped: an address longer than " + std::string{kAddressWidthText} + " characters"};
    tally_.note(kWhy[static_cast<int>(reason)], location);
}

void ImportSink::noteCuts(const Record& bookmark)
{
    for (const int field : pendingCuts_) {
        const std::string name{bookmarkTable().column(field)};
        ++tally_.cut[name];
        tally_.note("cut: " + name, bookmark.text(BookmarkField::Location));
    }
    pendingCuts_.clear();
}

AddResult ImportSink::add(Record& bookmark, std::string_view sourceCategory,
                          const std::vector<std::string>& keywords, bool guessKeyword)
{
    if (failed_ || !open_) {
        pendingCuts_.clear();
        return AddResult::Failed;
    }
    if (bookmark.wasCut(BookmarkField::Location)) {
        pendingCuts_.clear();
        ++addressesTooLong_;
        skip(SkipReason::TooLong,
             std::string{utf8::prefix(bookmark.text(BookmarkField::Location), 200)} + "...");
        return AddResult::TooLong;
    }
    bool create = false;
    const std::string category = chooseCategory(bookmark, sourceCategory, create);
    // A folder's name longer than a category's is cut, and counted as cut.
    setText(bookmark, BookmarkField::Category, category);
    lastCategory_ = bookmark.text(BookmarkField::Category);
    if (guessKeyword) {
        bookmark.setText(BookmarkField::Keyword,
                         guessCategory(bookmark.text(BookmarkField::Description)));
    }
    if (create && !ensureCategory(lastCategory_)) {
        return AddResult::Failed;
    }
    const EngineStatus added = database_.bookmarks().file().add(bookmark);
    if (added.code == kDuplicateKey) {
        pendingCuts_.clear();
        ++alreadyStored_;
        tally_.note("already stored", bookmark.text(BookmarkField::Location));
        return AddResult::AlreadyStored;
    }
    if (!added.ok()) {
        pendingCuts_.clear();
        fail(database_.bookmarks(), added);
        return AddResult::Failed;
    }
    noteCuts(bookmark);
    ++pending_;
    ++imported_;
    lastPosition_ = bookmark.position;
    // A set, as a bookmark file may give one bookmark a hundred thousand tags.
    std::unordered_set<std::string> seen;
    for (const std::string& word : keywords) {
        Record row{keywordTable()};
        row.setText(KeywordField::Location, bookmark.text(BookmarkField::Location));
        row.setText(KeywordField::Keyword, text::trim(word));
        const std::string folded = text::foldKey(row.text(KeywordField::Keyword));
        if (folded.empty() || !seen.insert(folded).second) {
            continue;
        }
        if (database_.keywords().insert(row) != kLevelDone) {
            failed_ = true; // the insert said why
            return AddResult::Failed;
        }
        ++pending_;
    }
    return AddResult::Added;
}

AddResult ImportSink::setLastSiteInfo(std::string_view siteInfo)
{
    if (failed_ || lastPosition_ == 0) {
        return AddResult::Failed;
    }
    RecordFile& file = database_.bookmarks().file();
    Record bookmark{bookmarkTable()};
    if (!file.getAt(lastPosition_, bookmark).ok()) {
        return AddResult::Failed;
    }
    bookmark.setText(BookmarkField::SiteInfo, siteInfo);
    if (const EngineStatus put = file.put(bookmark); !put.ok()) {
        fail(database_.bookmarks(), put);
        return AddResult::Failed;
    }
    ++pending_;
    return AddResult::Added;
}

bool ImportSink::keepGoing(double fraction, std::string_view status)
{
    if (failed_ || cancelled_) {
        return false;
    }
    const auto now = Clock::now();
    if (pending_ >= kCommitAfterWrites ||
        (pending_ > 0 && now - lastCommit_ >= kBatchCommitEvery)) {
        if (!commitGroup(true)) {
            return false;
        }
    }
    // The first and the last step of a phase always show.
    if (now - lastPoll_ < kPollEvery && fraction > 0.0 && fraction < 1.0) {
        return true;
    }
    lastPoll_ = now;
    const int percent = std::clamp(static_cast<int>(std::floor(fraction * 100)), 0, 100);
    ui_.reportProgress(percent, progressText(percent, status));
    if (ui_.cancelRequested()) {
        cancelled_ = true;
        return false;
    }
    return true;
}

std::string ImportSink::progressText(int percent, std::string_view status)
{
    if (!status.empty()) {
        status_ = std::string{status};
    }
    std::string text = std::to_string(percent) + "% Completed\n" + reading_ + "\n";
    if (!status_.empty()) {
        text += status_ + "\n";
    }
    text += std::to_string(imported_) + " imported";
    if (alreadyStored_ > 0) {
        text += ", " + std::to_string(alreadyStored_) + " stored already";
    }
    return text;
}

bool ImportSink::finish()
{
    if (!open_) {
        return !failed_;
    }
    const bool committed = commitGroup(false);
    database_.engine().setBatchWrites(false);
    open_ = false;
    ui_.endProgress();
    database_.keywords().close();
    database_.categories().close();
    database_.bookmarks().close();
    return committed;
}

ImportSummary ImportSink::summarize(ImportSummary summary)
{
    summary.failed = !finish() || failed() || summary.failed;
    summary.imported = imported();
    summary.alreadyStored = alreadyStored();
    summary.addressesTooLong = addressesTooLong();
    summary.cancelled = cancelled();
    for (const auto& [reason, count] : tally_.skipped) {
        summary.skipped[reason] += count;
    }
    for (const auto& [field, count] : tally_.cut) {
        summary.cut[field] += count;
    }
    for (ImportNote& note : tally_.notes) {
        summary.note(std::move(note.what), note.location);
    }
    tally_ = {};
    return summary;
}

} // namespace tessaly
