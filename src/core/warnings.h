#pragma once

#include "core/engine_status.h"
#include "core/record_file.h"
#include "framework/ui_port.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The numbered warnings of the report procedures and their common file-open
// routine. Each warning is shown with its own title, words and buttons; the
// ones that end the program show their halt text and halt.
class Warnings final {
public:
    explicit Warnings(UiPort& ui) : ui_(ui) {}

    // The engine's error of the operation that just failed; warnings show it
    // unless a saved error is pending.
    void setEngineError(const EngineStatus& status) { engineError_ = status; }
    // An error a caller keeps for the next warning; used once, then cleared.
    void saveError(const EngineStatus& status) { savedError_ = status; }

    // The error text E of the next warning: the saved error if one is
    // pending (and it is then cleared), else the engine's; for code 90 the
    // system's text and number, else the engine's text and number; at most
    // 150 characters.
    std::string errorText();

    // Shows warning `number` with arguments F and M (trailing blanks
    // removed) and returns the button pressed, or 0 when the box offers no
    // choice. Warnings 1, 3, 4, 5 and 22, and 2 answered No, end the program.
    unsigned warn(int number, std::string_view f = {}, std::string_view m = {});

    // Ends the program after showing `text`.
    [[noreturn]] void halt(std::string_view text);

private:
    UiPort& ui_;
    EngineStatus engineError_;
    std::optional<EngineStatus> savedError_;
};

// Opens a file for a report procedure: waits for a lock once, creates a
// missing file when asked (never with `neverCreate`), offers to rebuild
// broken keys, and reports through the warnings. With `shared` the access
// mode is 66. Returns the engine status of the final attempt; a failure that
// is not fatal has been reported with warning 30.
EngineStatus openFile(RecordFile& file, Warnings& warnings, bool createIfMissing, bool neverCreate,
                      int accessMode, bool shared);

} // namespace tessaly
