#pragma once

#include "framework/ui_port.h"

#include <ostream>
#include <string>

namespace tessaly::cli {

// A message as the terminal shows it: what the windows say about pressing
// OK or going back to a window is put in terminal words, the program's names
// of its files are followed by the file on disk ("TESSLY (URLDATA.tps)"),
// and a question says which answer tessaly-cli took.
std::string terminalWords(const MessageRequest& request);

// The UI port of tessaly-cli: every message goes to the error stream as
// "Title: text", questions take their default answer, nothing is picked or
// queried interactively, and a fatal message ends the process with status 3.
class CliUi final : public UiPort {
public:
    explicit CliUi(std::ostream& err) : err_(err) {}

    // Leaves out the notice that a file is opened for reading only.
    void setQuietReadOnlyFallback(bool quiet) { quietReadOnly_ = quiet; }

    Button showMessage(const MessageRequest& request) override;
    std::optional<std::string> pickCategory(std::string_view nearest) override;
    bool runQuery(const QueryRequest& request, std::string& filter) override;
    void beginProgress(std::string_view caption) override;
    void reportProgress(int percent, std::string_view status) override;
    bool cancelRequested() override;
    void endProgress() override;
    [[noreturn]] void halt(int exitCode) override;

private:
    std::ostream& err_;
    bool quietReadOnly_ = false;
};

} // namespace tessaly::cli
