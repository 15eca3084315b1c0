#pragma once

#include "command.h"
#include "links/link_batch.h"

#include <functional>

namespace tessaly::cli {

// What a command that runs the link batch over the bookmarks ("validate",
// "analyze") makes of it: its jobs, its line per bookmark, its summary.
struct LinkCommandKind {
    std::string_view verb; // "tested", "analysed": in the messages
    int lookAhead = LinkBatchOptions{}.lookAhead;
    // The jobs of the run; a null function runs link tests.
    std::function<BatchJobMaker(Database&, std::int32_t today)> jobs;
    std::function<std::string(const LinkBatchItem&)> line;
    std::function<std::string(const LinkBatchSummary&)> summary;
};

// Runs "COMMAND [--query EXPR] [--jobs N]" for `kind`; returns the exit code.
int runLinkCommand(const Command& command, const LinkCommandKind& kind,
                   const std::vector<std::string>& arguments, const Context& context);

} // namespace tessaly::cli
