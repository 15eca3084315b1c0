#pragma once

#include "framework/message_table.h"
#include "framework/ui_port.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// What the placeholders of a message are filled from. Each thread has its own
// context, so a worker's failure never borrows the file name a window set.
struct MessageContext {
    std::string file;          // %File
    std::string field;         // %Field
    std::string message;       // %Message
    int errorCode = 0;         // %ErrorCode
    std::string errorText;     // %Error
    int fileErrorCode = 0;     // %FileErrorCode
    std::string fileErrorText; // %FileError
    // A line that follows the message's own text in the next message
    // raised, saying what to do or which record is meant; then cleared.
    std::string advice;
};

// Error code that marks an operating-system file error: %ErrorText then
// shows the system's text and number instead of the engine's.
constexpr int kFileSystemErrorCode = 90;

// Results of raise() by level.
constexpr int kLevelBenign = 0;
constexpr int kLevelCancel = 4;
constexpr int kLevelNotify = 5;

// Reports problems through the table of standard messages: fills the
// placeholders of a message from the current thread's context and shows it
// through the UI port with buttons chosen by the message's level.
class MessageManager final {
public:
    explicit MessageManager(UiPort& ui, MessageTable table = standardMessageTable());

    MessageTable& table() { return table_; }
    // The port the messages are shown through.
    UiPort& ui() { return ui_; }

    // The calling thread's context.
    static MessageContext& context();
    static void setFile(std::string_view file);
    static void setField(std::string_view field);
    static void setMessage(std::string_view message);
    static void setError(int code, std::string_view text);
    static void setFileError(int code, std::string_view text);
    static void setAdvice(std::string_view advice);
    static void clearContext();

    // The text of `number` with its placeholders filled, at most 2000
    // characters; empty when the table has no such message.
    std::string filledText(std::uint16_t number) const;

    // Raises message `number` and acts by its level: 0 shows nothing and
    // gives 0; 1 and 4 ask Yes/No (Yes gives 0, No gives 4); 5 shows an OK
    // box and gives 5; 3, 2 and levels above 5 show the text with "  Press
    // OK to end this application" and halt the program. A number missing
    // from the table is shown as a notice and gives 5.
    int raise(std::uint16_t number);

    // Shows message `number` with the given buttons and returns the button
    // pressed, whatever the message's level.
    Button message(std::uint16_t number, unsigned buttons, Button defaultButton);

    // Fills the placeholders of any text from the current context.
    std::string fill(std::string_view text, const MessageEntry* entry) const;

private:
    UiPort& ui_;
    MessageTable table_;
};

// The procedure names of the calling thread: each window pushes its name
// when it opens and pops it when it closes. %Procedure shows the top.
class ProcedureScope final {
public:
    explicit ProcedureScope(std::string_view name);
    ~ProcedureScope();
    ProcedureScope(const ProcedureScope&) = delete;
    ProcedureScope& operator=(const ProcedureScope&) = delete;

    // The name on top of the calling thread's stack, or empty.
    static std::string current();
};

} // namespace tessaly
