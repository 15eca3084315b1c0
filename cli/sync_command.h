#pragma once

#include "command.h"

namespace tessaly::cli {

// sync [--url URL] [--user NAME] [--password-file FILE] [--file NAME]
// [--dry-run]: keeps the bookmarks in step with an XBEL file on a WebDAV
// server. The address, user and file are remembered in TESSLY.INI after a
// sync that reached the server; the password never is (it comes from the
// file, else from the desktop's secret store).
class SyncCommand final : public Command {
public:
    std::string_view name() const override { return "sync"; }
    std::string_view summary() const override
    {
        return "sync [--url URL] [--user NAME] [--password-file FILE] [--file NAME] [--dry-run]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
    bool ownsItsOptions() const override { return true; }
};

} // namespace tessaly::cli
