#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

enum class MessageIcon { None, Information, Question, Exclamation, Stop };

// Buttons of a message box; several are combined as a bit set.
enum Button : unsigned {
    ButtonNone = 0,
    ButtonOk = 1U << 0U,
    ButtonYes = 1U << 1U,
    ButtonNo = 1U << 2U,
    ButtonCancel = 1U << 3U,
    ButtonAbort = 1U << 4U,
    ButtonRetry = 1U << 5U,
    ButtonIgnore = 1U << 6U,
    ButtonHelp = 1U << 7U,
    // Not a system button: the account of a batch run offers it to list the
    // bookmarks the run failed.
    ButtonShowFailed = 1U << 8U,
};

struct MessageRequest {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    unsigned buttons = ButtonOk;
    Button defaultButton = ButtonOk;
    std::string details{}; // a longer text the box shows on request; empty for none
};

// What the query editor is given: the field list (see query_fields.h) and
// the tag under which it keeps the user's saved queries.
struct QueryRequest {
    std::string fieldList;
    std::string tag;
};

// Everything the logic needs from a person. Logic never opens a window: the
// program answers through dialogs, the tests through a script, the command
// line from its flags. Implementations must allow calls from worker threads.
class UiPort {
public:
    virtual ~UiPort() = default;

    // Shows a message box and returns the button pressed (the default button
    // when the box is closed without a choice).
    virtual Button showMessage(const MessageRequest& request) = 0;

    // Asks a question with Yes and No; true for Yes.
    bool askYesNo(std::string_view title, std::string_view text, bool yesIsDefault = true);

    // Lets the user pick a category, starting at the one nearest to
    // `nearest`; empty when the user cancels.
    virtual std::optional<std::string> pickCategory(std::string_view nearest) = 0;

    // Runs the query editor on `filter` (read and written). True when the
    // user finished a query; `filter` then holds it.
    virtual bool runQuery(const QueryRequest& request, std::string& filter) = 0;

    // Progress of a long run: a caption, then percentages and status texts.
    // cancelRequested() is polled between steps and is true once the user
    // pressed Cancel.
    virtual void beginProgress(std::string_view caption) = 0;
    virtual void reportProgress(int percent, std::string_view status) = 0;
    virtual bool cancelRequested() = 0;
    virtual void endProgress() = 0;

    // Ends the program after a fatal message. The default runs the halt hooks
    // (open transactions roll back, files close) and ends the process.
    [[noreturn]] virtual void halt(int exitCode);
};

} // namespace tessaly
