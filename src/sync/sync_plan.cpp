// The three-way merge of a sync: the state the last sync left, the file as
// the server has it now and the bookmarks as they are stored now give each
// side's changes since then; each is made on the other side.
#include "core/database.h"
#include "framework/text.h"
#include "sync/sync_store.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tessaly {

namespace {

constexpr std::size_t kDescriptionWidth = 255;
constexpr std::size_t kCategoryWidth = 50;

// Folder titles from the top, joined by "/"; a "/" or "\" of a title is
// written after a "\" so that two paths are equal only when their folders are.
std::string joinPath(const std::vector<std::string>& folders)
{
    std::string path;
    for (const std::string& folder : folders) {
        if (!path.empty()) {
            path += '/';
        }
        for (const char c : folder) {
            if (c == '/' || c == '\\') {
                path += '\\';
            }
            path += c;
        }
    }
    return path;
}

// The title of the innermost folder of a joined path.
std::string innermost(std::string_view path)
{
    std::string last;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size()) {
            last += path[++i];
        } else if (path[i] == '/') {
            last.clear();
        } else {
            last += path[i];
        }
    }
    return last;
}

// The category a folder gives its bookmarks, as the bookmark-file import
// gives it: the folder's own name, fitted to the field.
std::string categoryOf(std::string_view folderTitle)
{
    return std::string{text::fit(text::trim(folderTitle), kCategoryWidth)};
}

// The description a title gives; a bookmark without a title shows its
// address, as the bookmark-file import does.
std::string descriptionOf(std::string_view title, std::string_view address)
{
    const std::string_view trimmed = text::trim(title);
    return std::string{
        text::fit(trimmed.empty() ? text::trim(address) : trimmed, kDescriptionWidth)};
}

std::string addressOf(std::string_view href)
{
    return std::string{text::trim(href)};
}

// An address a bookmark can be stored with: a browser's stored search is
// none, and a longer one than the field holds would be cut.
bool storable(std::string_view address)
{
    return !address.empty() && !address.starts_with("place:") && address.size() <= kAddressWidth;
}

std::string withoutField(std::string_view what, std::string_view field)
{
    std::string out;
    while (!what.empty()) {
        const std::size_t comma = what.find(", ");
        const std::string_view one = what.substr(0, comma);
        if (one != field) {
            out += out.empty() ? "" : ", ";
            out += one;
        }
        what = comma == std::string_view::npos ? std::string_view{} : what.substr(comma + 2);
    }
    return out;
}

void joinWhat(std::string& what, std::string_view field)
{
    what += what.empty() ? "" : ", ";
    what += field;
}

// A stored bookmark as the file holds it once written and read back: what
// the file cannot hold dropped, blanks trimmed, a blank title read as the
// address. Comparing this with the file (and the last sync's record of the
// file) finds only real changes: a text the file cannot hold as Tessaly
// has it is no change every sync.
StoredBookmark heldOf(const StoredBookmark& stored)
{
    std::string location = addressOf(XbelDocument::holdable(stored.location));
    std::string description = descriptionOf(XbelDocument::holdable(stored.description), location);
    return {std::move(location), std::move(description),
            categoryOf(XbelDocument::holdable(stored.category))};
}

// Whether the file is not the one the last sync left: it holds bookmarks,
// and not one of them has the address of a bookmark of that sync; or its
// ids were given anew: not one address of that sync stands under its id of
// then, and one stands under an id that named another address. A file another program made anew
// numbers its bookmarks from the start again (and another Tessaly may have
// merged ours into it since), so its ids meet the old state's by chance,
// and merging by them would take its bookmarks for changes of ours.
bool anotherFile(const XbelDocument& document, const std::vector<SyncStateRow>& state)
{
    if (state.empty()) {
        return false;
    }
    std::unordered_map<std::string, std::string> idByAddress; // folded
    std::unordered_map<std::string, std::string> addressById; // folded
    idByAddress.reserve(state.size());
    addressById.reserve(state.size());
    for (const SyncStateRow& row : state) {
        std::string folded = text::foldKey(addressOf(row.address));
        idByAddress.emplace(folded, row.serverId);
        addressById.emplace(row.serverId, std::move(folded));
    }
    bool bookmarks = false;
    bool shared = false;
    bool keptItsId = false;   // an address of the last sync under its id then
    bool tookAnother = false; // one under an id that named another address
    for (const XbelDocument::Item& item : document.items()) {
        if (item.folder || item.removed) {
            continue;
        }
        bookmarks = true;
        const std::string folded = text::foldKey(addressOf(item.href));
        const auto synced = idByAddress.find(folded);
        if (synced == idByAddress.end()) {
            continue;
        }
        shared = true;
        if (item.id.empty() || synced->second == item.id) {
            keptItsId = true;
            continue;
        }
        if (const auto named = addressById.find(item.id);
            named != addressById.end() && named->second != folded) {
            tookAnother = true;
        }
    }
    // A browser that gives one bookmark another's address keeps every other
    // id as it was; a file numbered anew keeps none.
    return bookmarks && (!shared || (tookAnother && !keptItsId));
}

class Planner {
public:
    Planner(XbelDocument& document, const SyncTimes& times, SyncPlan& plan)
        : doc_(document), plan_(plan), fileWins_(times.file >= times.tessaly)
    {}

    void run(std::vector<SyncStateRow> state, std::vector<StoredBookmark> stored)
    {
        stored_ = std::move(stored);
        held_.reserve(stored_.size());
        byLocation_.reserve(stored_.size());
        byHeld_.reserve(stored_.size());
        for (std::size_t i = 0; i < stored_.size(); ++i) {
            held_.push_back(heldOf(stored_[i]));
            byLocation_.emplace(text::foldKey(stored_[i].location), i);
            byHeld_.emplace(text::foldKey(held_[i].location), i);
        }
        claimed_.assign(stored_.size(), 0);
        state_ = std::move(state);
        linkUnlinkedRows();
        for (const SyncStateRow& row : state_) {
            byKey_.emplace(row.serverId, &row);
        }
        indexFolders();
        fileBookmarks();
        deletedFromFile();
        addedInTessaly();
    }

    // Whether the state the sync leaves differs from the one it found.
    bool stateChanged() const { return stateChanged_; }

private:
    struct Current {
        int item = -1;
        std::string path;
        std::string key;
    };

    // Links the rows of a sync that recorded none, as planSync says.
    void linkUnlinkedRows()
    {
        std::unordered_map<std::string, std::vector<SyncStateRow*>> rows;
        for (SyncStateRow& row : state_) {
            if (!row.linked) {
                stateChanged_ = true; // the links are recorded from now on
                rows[text::foldKey(addressOf(row.address))].push_back(&row);
            }
        }
        for (auto& [key, group] : rows) {
            const std::size_t at = storedAt(group.front()->address);
            SyncStateRow* chosen = group.size() == 1 || at != kNone ? group.front() : nullptr;
            for (SyncStateRow* row : group) {
                if (at != kNone && row->address == stored_[at].location) {
                    chosen = row;
                }
                row->linked = std::string{};
            }
            if (chosen != nullptr) {
                chosen->linked = at == kNone ? chosen->address : stored_[at].location;
            }
        }
    }

    void indexFolders()
    {
        const auto& items = doc_.items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].folder) {
                folders_.emplace(categoryOf(items[i].title), static_cast<int>(i));
            }
        }
    }

    // The folder a category goes to: the first in tree order of its name,
    // else a new one at the top; no category, the top itself.
    int folderFor(const std::string& category)
    {
        if (category.empty()) {
            return -1;
        }
        if (const auto found = folders_.find(category); found != folders_.end()) {
            return found->second;
        }
        const int folder = doc_.addFolder(category);
        folders_.emplace(category, folder);
        return folder;
    }

    // The joined folder path of an item, from a path kept per folder: a
    // folder's path never changes during a sync (folders are only added).
    const std::string& pathOf(int item)
    {
        const int folder = doc_.items()[static_cast<std::size_t>(item)].parent;
        if (folder < 0) {
            return top_;
        }
        const auto at = static_cast<std::size_t>(folder);
        if (folderPaths_.size() <= at) {
            folderPaths_.resize(doc_.items().size());
            folderCategories_.resize(doc_.items().size());
        }
        if (folderPaths_[at].empty()) {
            std::vector<std::string> path = doc_.folderPath(item);
            folderPaths_[at] = joinPath(path);
            folderCategories_[at] = categoryOf(path.back());
        }
        return folderPaths_[at];
    }

    // The category the folder of an item gives it.
    const std::string& categoryIn(int item)
    {
        pathOf(item);
        const int folder = doc_.items()[static_cast<std::size_t>(item)].parent;
        return folder < 0 ? top_ : folderCategories_[static_cast<std::size_t>(folder)];
    }

    // The stored bookmark an address of the file stands for.
    std::size_t storedAt(std::string_view address) const
    {
        const auto found = byHeld_.find(text::foldKey(addressOf(address)));
        return found == byHeld_.end() ? kNone : found->second;
    }

    // The stored bookmark a row is linked to: its location, in any case.
    std::size_t linkedAt(const SyncStateRow& row) const
    {
        if (row.linked->empty()) {
            return kNone;
        }
        const auto found = byLocation_.find(text::foldKey(*row.linked));
        return found == byLocation_.end() ? kNone : found->second;
    }

    // Whether Tessaly can hold `address` for the stored bookmark `self`
    // (kNone: a new one) without a second bookmark of it: none is stored
    // under it but `self`, and none gets it in this sync. Taken if so.
    bool take(std::string_view address, std::size_t self)
    {
        const std::string key = text::foldKey(address);
        const auto stored = byLocation_.find(key);
        if (stored != byLocation_.end() && stored->second != self) {
            return false;
        }
        return stored != byLocation_.end() || taken_.insert(key).second;
    }

    // The bookmarks of the file the last sync knew are merged before those
    // new to it, so that a new one never takes the place in Tessaly of one
    // synced before with the same address in another letter case.
    void fileBookmarks()
    {
        const auto& items = doc_.items();
        std::unordered_set<std::string> ids;
        ids.reserve(items.size());
        seen_.reserve(state_.size());
        std::vector<Current> arrivals;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const XbelDocument::Item& item = items[i];
            if (item.folder || item.removed || !storable(addressOf(item.href))) {
                continue;
            }
            // Ids are the file's own; one missing or given twice is keyed by
            // the bookmark's address and place among those of that address.
            std::string key = item.id;
            if (key.empty() || !ids.insert(key).second) {
                key = "href:" + text::foldKey(item.href);
                while (!ids.insert(key).second) {
                    key += '+';
                }
            }
            Current current{static_cast<int>(i), pathOf(static_cast<int>(i)), key};
            const auto known = byKey_.find(key);
            if (known == byKey_.end()) {
                arrivals.push_back(std::move(current));
            } else {
                seen_.insert(key);
                merge(current, *known->second);
            }
        }
        for (const Current& current : arrivals) {
            arrived(current);
        }
    }

    // A bookmark the last sync did not know in the file.
    void arrived(const Current& current)
    {
        const XbelDocument::Item& item = doc_.items()[static_cast<std::size_t>(current.item)];
        const std::string address = addressOf(item.href);
        const std::string description = descriptionOf(item.title, item.href);
        const std::string category = categoryIn(current.item);
        const std::size_t at = storedAt(address);
        if (at != kNone && claimed_[at]) {
            heldAlready(current); // the same address again in the file
            return;
        }
        if (at == kNone) {
            if (!take(address, kNone)) {
                heldAlready(current);
                return;
            }
            tessaly(SyncChange::Kind::Added, {}, address, description, category, {});
            keep(current, nullptr, address);
            return;
        }
        // Both sides have it (a first sync, or one cut short after the file
        // was written): the same on both is no change.
        claimed_[at] = 1;
        const StoredBookmark& stored = stored_[at];
        const StoredBookmark& held = held_[at];
        std::string what;
        if (held.description != description) {
            joinWhat(what, "title");
        }
        if (held.category != category) {
            joinWhat(what, "folder");
        }
        if (held.location != address) {
            joinWhat(what, "address");
        }
        std::string linked = stored.location;
        if (!what.empty()) {
            conflict(address, description, what);
            if (fileWins_) {
                tessaly(SyncChange::Kind::Changed, stored.location, address, description, category,
                        what);
                linked = address;
            } else {
                toFile(current.item, stored, what);
            }
        }
        keep(current, nullptr, linked);
    }

    // A bookmark of the file Tessaly does not take: stays in the file,
    // linked to nothing, and the account names it.
    void heldAlready(const Current& current)
    {
        const XbelDocument::Item& item = doc_.items()[static_cast<std::size_t>(current.item)];
        plan_.account.heldAlready.push_back(
            {SyncSide::Tessaly, SyncChange::Kind::Added, addressOf(item.href), item.title, {}});
        keep(current, nullptr, {});
    }

    void merge(const Current& current, const SyncStateRow& base)
    {
        const XbelDocument::Item& item = doc_.items()[static_cast<std::size_t>(current.item)];
        if (base.linked->empty()) {
            keep(current, &base, {}); // Tessaly never took it
            return;
        }
        const std::size_t at = linkedAt(base);
        if (at == kNone) {
            gone(current, base);
            return;
        }
        if (claimed_[at]) {
            // Another bookmark of the file is synced to it already.
            heldAlready(current);
            return;
        }
        claimed_[at] = 1;
        const StoredBookmark& stored = stored_[at];
        const StoredBookmark& held = held_[at];
        // Each field on its own: changed on one side, it is made on the
        // other; on both, alike is agreed and different is a conflict.
        StoredBookmark merged = stored;
        std::string toTessaly;
        std::string toFileWhat;
        std::string conflicting;
        const auto field = [&](std::string_view name, const std::string& wasFile,
                               const std::string& wasStored, const std::string& nowFile,
                               const std::string& nowStored, std::string& into) {
            const bool fileChanged = nowFile != wasFile;
            const bool storedChanged = nowStored != wasStored;
            if (fileChanged && (!storedChanged || nowStored != nowFile)) {
                if (storedChanged) {
                    joinWhat(conflicting, name);
                }
                if (!storedChanged || fileWins_) {
                    into = nowFile;
                    joinWhat(toTessaly, name);
                    return;
                }
            }
            if (storedChanged && nowStored != nowFile) {
                joinWhat(toFileWhat, name);
            }
        };
        const std::string title = descriptionOf(base.title, base.address);
        const std::string folder = categoryOf(innermost(base.folderPath));
        field("title", title, title, descriptionOf(item.title, item.href), held.description,
              merged.description);
        // The address Tessaly had is the one it was linked by: it may differ
        // from the file's when another bookmark held the file's.
        field("address", addressOf(base.address), addressOf(XbelDocument::holdable(*base.linked)),
              addressOf(item.href), held.location, merged.location);
        field("folder", folder, folder, categoryIn(current.item), held.category, merged.category);
        if (!conflicting.empty()) {
            conflict(addressOf(item.href), merged.description, conflicting);
        }
        // An address another stored bookmark has (or gets in this sync)
        // cannot be given to this one: Tessaly keeps its own, and says so.
        if (merged.location != stored.location && !take(merged.location, at)) {
            conflict(merged.location, merged.description, "address (another bookmark has it)",
                     SyncSide::Tessaly);
            merged.location = stored.location;
            toTessaly = withoutField(toTessaly, "address");
        }
        if (!toTessaly.empty()) {
            tessaly(SyncChange::Kind::Changed, stored.location, merged.location, merged.description,
                    merged.category, toTessaly);
        }
        if (!toFileWhat.empty()) {
            toFile(current.item, merged, toFileWhat);
        }
        keep(current, &base, merged.location);
    }

    // A synced bookmark Tessaly no longer has: deleted in Tessaly. Only the
    // bookmark of the file linked to it goes (see SyncStateRow::linked).
    void gone(const Current& current, const SyncStateRow& base)
    {
        const XbelDocument::Item& item = doc_.items()[static_cast<std::size_t>(current.item)];
        const bool fileChanged = item.title != base.title || item.href != base.address ||
                                 current.path != base.folderPath;
        if (fileChanged) {
            // A change is never lost to a deletion: the bookmark comes back.
            conflict(addressOf(item.href), descriptionOf(item.title, item.href),
                     "deleted in Tessaly, changed in the file", SyncSide::File);
            if (take(addressOf(item.href), kNone)) {
                tessaly(SyncChange::Kind::Added, {}, addressOf(item.href),
                        descriptionOf(item.title, item.href), categoryIn(current.item), {});
                keep(current, &base, addressOf(item.href));
            } else {
                keep(current, &base, {});
            }
            return;
        }
        doc_.remove(current.item);
        change(SyncSide::File, SyncChange::Kind::Deleted, addressOf(item.href), item.title, {});
        plan_.account.deletions.push_back(plan_.changes.back());
        ++plan_.account.deletedFromFile;
    }

    void deletedFromFile()
    {
        for (const SyncStateRow& row : state_) {
            if (seen_.contains(row.serverId)) {
                continue;
            }
            stateChanged_ = true;
            const std::size_t at = linkedAt(row);
            if (at == kNone || claimed_[at]) {
                continue; // deleted on both sides, or never in Tessaly
            }
            const StoredBookmark& stored = stored_[at];
            const StoredBookmark& held = held_[at];
            const bool storedChanged =
                held.description != descriptionOf(row.title, row.address) ||
                held.category != categoryOf(innermost(row.folderPath)) ||
                held.location != addressOf(XbelDocument::holdable(*row.linked));
            if (storedChanged) {
                // Left unclaimed, it goes back into the file as a new one.
                conflict(stored.location, stored.description,
                         "deleted in the file, changed in Tessaly", SyncSide::Tessaly);
                continue;
            }
            claimed_[at] = 1;
            tessaly(SyncChange::Kind::Deleted, stored.location, stored.location, stored.description,
                    stored.category, {});
        }
    }

    void addedInTessaly()
    {
        for (std::size_t i = 0; i < stored_.size(); ++i) {
            if (claimed_[i] || !storable(stored_[i].location)) {
                continue;
            }
            const StoredBookmark& stored = stored_[i];
            const int item =
                doc_.addBookmark(folderFor(held_[i].category), stored.location, stored.description);
            change(SyncSide::File, SyncChange::Kind::Added, stored.location, stored.description,
                   {});
            ++plan_.account.addedToFile;
            const XbelDocument::Item& added = doc_.items()[static_cast<std::size_t>(item)];
            plan_.newState.push_back(
                {added.id, pathOf(item), added.title, added.href, stored.location});
            stateChanged_ = true;
        }
    }

    // Makes Tessaly's fields `what` of the file's bookmark.
    void toFile(int item, const StoredBookmark& stored, const std::string& what)
    {
        const XbelDocument::Item& now = doc_.items()[static_cast<std::size_t>(item)];
        const StoredBookmark held = heldOf(stored);
        if (descriptionOf(now.title, now.href) != held.description) {
            doc_.setTitle(item, stored.description);
        }
        if (addressOf(now.href) != held.location) {
            doc_.setHref(item, stored.location);
        }
        if (categoryIn(item) != held.category) {
            doc_.move(item, folderFor(held.category));
        }
        change(SyncSide::File, SyncChange::Kind::Changed, stored.location, stored.description,
               what);
        ++plan_.account.changedInFile;
    }

    // The state row of a file bookmark as the sync leaves it, linked to the
    // stored bookmark of location `linked` (blank: none).
    void keep(const Current& current, const SyncStateRow* base, std::string linked)
    {
        const XbelDocument::Item& item = doc_.items()[static_cast<std::size_t>(current.item)];
        plan_.newState.push_back(
            {current.key, pathOf(current.item), item.title, item.href, std::move(linked)});
        const SyncStateRow& now = plan_.newState.back();
        stateChanged_ = stateChanged_ || base == nullptr || now.folderPath != base->folderPath ||
                        now.title != base->title || now.address != base->address ||
                        now.linked != base->linked;
    }

    void tessaly(SyncChange::Kind kind, std::string oldAddress, std::string address,
                 std::string description, std::string category, std::string what)
    {
        change(SyncSide::Tessaly, kind, address, description, std::move(what));
        switch (kind) {
        case SyncChange::Kind::Added:
            ++plan_.account.addedToTessaly;
            break;
        case SyncChange::Kind::Changed:
            ++plan_.account.changedInTessaly;
            break;
        case SyncChange::Kind::Deleted:
            ++plan_.account.deletedFromTessaly;
            plan_.account.deletions.push_back(plan_.changes.back());
            break;
        }
        plan_.tessalyChanges.push_back({kind, std::move(oldAddress), std::move(address),
                                        std::move(description), std::move(category)});
    }

    void change(SyncSide side, SyncChange::Kind kind, std::string_view address,
                std::string_view title, std::string what)
    {
        plan_.changes.push_back(
            {side, kind, std::string{address}, std::string{title}, std::move(what)});
    }

    void conflict(std::string_view address, std::string_view title, std::string what)
    {
        conflict(address, title, std::move(what), fileWins_ ? SyncSide::File : SyncSide::Tessaly);
    }
    void conflict(std::string_view address, std::string_view title, std::string what,
                  SyncSide winner)
    {
        plan_.account.conflicts.push_back(
            {std::string{address}, std::string{title}, winner, std::move(what)});
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    XbelDocument& doc_;
    SyncPlan& plan_;
    bool fileWins_;
    bool stateChanged_ = false;
    std::vector<StoredBookmark> stored_;
    std::vector<StoredBookmark> held_;                        // by stored_: as the file holds it
    std::unordered_map<std::string, std::size_t> byLocation_; // folded location -> stored_
    std::unordered_map<std::string, std::size_t> byHeld_;     // folded held location -> stored_
    std::vector<char> claimed_; // stored_ matched with a bookmark of the file
    std::vector<SyncStateRow> state_;
    std::unordered_map<std::string, const SyncStateRow*> byKey_;
    std::unordered_set<std::string> taken_;        // folded addresses Tessaly gets in this sync
    std::unordered_set<std::string> seen_;         // state keys found in the file
    std::unordered_map<std::string, int> folders_; // category -> first folder of it
    std::vector<std::string> folderPaths_;         // by folder: its joined path, once known
    std::vector<std::string> folderCategories_;    // by folder: the category it gives
    const std::string top_;
};

} // namespace

bool planSync(Database& database, std::string_view target, const ServerFile& file,
              const SyncTimes& times, SyncPlan& plan, std::string& error)
{
    plan = SyncPlan{};
    plan.target = target;
    plan.readEtag = file.etag;
    std::optional<XbelDocument> document;
    if (file.exists) {
        document = XbelDocument::parse(file.bytes, error);
        if (!document) {
            return false;
        }
    } else {
        document = XbelDocument::empty();
    }
    std::vector<SyncStateRow> state;
    std::string etag;
    std::vector<StoredBookmark> stored;
    if (!readSyncState(database, target, state, etag, error) ||
        !readStoredBookmarks(database, stored, error)) {
        return false;
    }
    if (!file.exists) {
        // Deleted on the server, or never there: not a deletion of every
        // bookmark by the browsers. The file is made anew as at a first sync.
        plan.account.fileMadeAnew = !state.empty() || !etag.empty();
        state.clear();
    } else if (anotherFile(*document, state)) {
        // Synced as at a first sync, as a file gone from the server is:
        // what the old file held is no loss to be made in Tessaly. (A file
        // emptied of bookmarks is still the same file.)
        plan.account.otherFile = true;
        state.clear();
    }
    Planner planner{*document, times, plan};
    planner.run(std::move(state), std::move(stored));
    plan.writeFile = !file.exists || document->changed();
    if (plan.writeFile) {
        plan.newFile = document->serialize();
    }
    plan.nothingToCommit = !plan.writeFile && plan.tessalyChanges.empty() && etag == file.etag &&
                           !planner.stateChanged();
    return true;
}

} // namespace tessaly
