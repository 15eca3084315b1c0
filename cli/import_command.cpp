#include "import_command.h"

#include "core/tables.h"
#include "field_escape.h"
#include "framework/record_schema.h"
#include "framework/text.h"
#include "import/importer.h"
#include "options.h"
#include "session.h"

namespace tessaly::cli {

int ImportCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {"assign", "category"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.empty() || options.positional.size() > 2) {
        return usageError(options.positional.empty() ? "which type to import?"
                                                     : "unexpected " + options.positional[2],
                          context);
    }
    ImportRequest request;
    const auto type = parseType(options.positional[0]);
    if (!type || *type == ImportType::Url) {
        return usageError("unknown type " + options.positional[0], context);
    }
    request.type = *type;
    if (options.positional.size() == 2) {
        request.source = callerPath(options.positional[1]);
    } else if (*type != ImportType::Favorites && *type != ImportType::Firefox &&
               *type != ImportType::Chromium) {
        return usageError("which file to import?", context);
    }
    const auto assignment = parseAssignment(options.get("assign").value_or("guess"));
    if (!assignment || *assignment == CategoryAssignment::Ask) {
        return usageError(assignment ? "--assign ask needs the window: use guess, selected or none"
                                     : "--assign takes guess, selected or none",
                          context);
    }
    request.assignment = *assignment;
    request.category = std::string{text::fit(text::trim(options.get("category").value_or("")), 50)};
    if ((*assignment == CategoryAssignment::Selected) == request.category.empty()) {
        return usageError(request.category.empty() ? "--assign selected needs --category NAME"
                                                   : "--category goes with --assign selected",
                          context);
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    Database& db = session.database();
    if (*assignment == CategoryAssignment::Selected && !db.categoryExists(request.category)) {
        context.err << "tessaly-cli import: no category " << messageText(request.category)
                    << " is stored\n";
        return kExitFailure;
    }
    const ImportSummary summary =
        runImport(db, session.ui(), request, session.loadSettings().favoritesPath, false);
    if (!summary.sourceError.empty()) {
        context.err << "tessaly-cli import: " << messageText(summary.sourceError);
        if (summary.damaged) {
            context.err << "; " << counted(summary.imported, "bookmark")
                        << (summary.imported == 1 ? " was" : " were") << " stored before it";
        }
        context.err << '\n';
        return kExitFailure;
    }
    if (summary.failed) {
        context.err << "tessaly-cli import: a bookmark could not be stored; the import stopped\n";
        return kExitFailure;
    }
    if (summary.linesCut > 0) {
        context.err << "tessaly-cli import: warning: " << counted(summary.linesCut, "line")
                    << " longer than 16 MiB were read only that far\n";
    }
    if (summary.addressesTooLong > 0) {
        context.err << "tessaly-cli import: warning: "
                    << counted(summary.addressesTooLong, "bookmark")
                    << (summary.addressesTooLong == 1 ? " was" : " were")
                    << " not stored: an address has at most " << kAddressWidthText
                    << " characters\n";
    }
    context.out << importSummaryLine(summary.imported, summary.alreadyStored);
    for (const std::string& line : {skippedText(summary), cutText(summary)}) {
        if (!line.empty()) {
            context.out << line << '\n';
        }
    }
    for (const ImportNote& note : summary.notes) {
        if (note.what != "already stored") {
            context.out << "  " << messageText(describeNote(note)) << '\n';
        }
    }
    return kExitOk;
}

} // namespace tessaly::cli
