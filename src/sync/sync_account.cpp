// What a sync did or would do, in words.
#include "sync/bookmark_sync.h"

namespace tessaly {

namespace {

constexpr std::string_view kOtherFile =
    "The file on the server is not the one synchronised last time (it holds none of its "
    "bookmarks, or numbers them anew), so it is another file: ";

std::string_view sideName(SyncSide side)
{
    return side == SyncSide::File ? "File" : "Tessaly";
}

std::string named(std::string_view title, std::string_view address)
{
    return "\"" + std::string{title} + "\" <" + std::string{address} + ">";
}

std::string conflictLine(const SyncConflict& conflict)
{
    std::string line = "Conflict: " + named(conflict.title, conflict.address) + ": ";
    if (conflict.what.starts_with("deleted")) {
        line += conflict.what + "; the change was kept.";
    } else {
        line += conflict.what + " changed on both sides; " +
                (conflict.winner == SyncSide::File ? "the file's" : "Tessaly's") +
                " change, made last, won.";
    }
    return line;
}

std::string counts(const SyncAccount& account)
{
    return "File: " + std::to_string(account.addedToFile) + " added, " +
           std::to_string(account.changedInFile) + " changed, " +
           std::to_string(account.deletedFromFile) +
           " deleted. Tessaly: " + std::to_string(account.addedToTessaly) + " added, " +
           std::to_string(account.changedInTessaly) + " changed, " +
           std::to_string(account.deletedFromTessaly) +
           " deleted. Conflicts: " + std::to_string(account.conflicts.size()) + ".";
}

// The bookmarks of the file Tessaly did not take, a line each.
std::string heldLines(const SyncAccount& account)
{
    if (account.heldAlready.empty()) {
        return {};
    }
    std::string out = "Not stored in Tessaly, their address being held already: " +
                      std::to_string(account.heldAlready.size()) + ".\n";
    for (const SyncChange& held : account.heldAlready) {
        out += "  " + named(held.title, held.address) + "\n";
    }
    return out;
}

} // namespace

std::string describePlan(const SyncPlan& plan)
{
    std::string out;
    for (const SyncChange& change : plan.changes) {
        out += sideName(change.side);
        switch (change.kind) {
        case SyncChange::Kind::Added:
            out += ": add ";
            break;
        case SyncChange::Kind::Changed:
            out += ": change " + change.what + " of ";
            break;
        case SyncChange::Kind::Deleted:
            out += ": delete ";
            break;
        }
        out += named(change.title, change.address) + "\n";
    }
    for (const SyncConflict& conflict : plan.account.conflicts) {
        out += conflictLine(conflict) + "\n";
    }
    if (plan.account.fileMadeAnew) {
        out += "The file is not on the server: it would be made anew from Tessaly's bookmarks; "
               "nothing would be deleted in Tessaly.\n";
    }
    if (plan.account.otherFile) {
        out += std::string{kOtherFile} +
               "it would be synchronised as at a first sync; nothing would be "
               "deleted in Tessaly.\n";
    }
    out += heldLines(plan.account);
    if (plan.changes.empty()) {
        out += plan.writeFile ? "The file would be made, holding no bookmarks.\n"
                              : "Nothing would change on either side.\n";
        return out;
    }
    out += "Would change: " + counts(plan.account) + "\n";
    return out;
}

std::string describeAccount(const SyncAccount& account)
{
    std::string out = counts(account) + "\n";
    for (const SyncConflict& conflict : account.conflicts) {
        out += conflictLine(conflict) + "\n";
    }
    if (account.fileMadeAnew) {
        out += "The file was not on the server: it was made anew from Tessaly's bookmarks; "
               "nothing was deleted in Tessaly.\n";
    }
    if (account.otherFile) {
        out += std::string{kOtherFile} +
               "it was synchronised as at a first sync; nothing was deleted in "
               "Tessaly.\n";
    }
    for (const SyncChange& deleted : account.deletions) {
        out +=
            (deleted.side == SyncSide::File ? "Deleted from the file: " : "Deleted in Tessaly: ") +
            named(deleted.title, deleted.address) + "\n";
    }
    return out + heldLines(account);
}

} // namespace tessaly
