#pragma once

#include "framework/system_file.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// One output file of an export, written line by line under a temporary
// name in its own folder and renamed over the real name by commit(), so a
// run that fails or is stopped never leaves half a page where a good one
// stood. Lines are cut at 1024 characters unless told otherwise; trailing
// blanks are never written; a line given a wider `width` (one whose column
// widened to hold a value whole) is cut there instead. The first error is
// kept; later lines are dropped.
class ExportOutput final {
public:
    static constexpr std::size_t kLineWidth = 1024;

    ExportOutput(std::string path, bool cutLines);
    ~ExportOutput();
    ExportOutput(const ExportOutput&) = delete;
    ExportOutput& operator=(const ExportOutput&) = delete;

    // Creates the temporary file; the error when it cannot be made.
    SystemResult open();
    void line(std::string_view text, std::size_t width = 0);
    // Flushes and closes the temporary file; the first error met. Once
    // finished, no more lines are taken.
    SystemResult finish();
    // Waits until the finished temporary file is on the disk.
    SystemResult syncTemporary();
    // Renames the finished file into place.
    SystemResult commit();
    // Removes the temporary file, if any.
    void discard();
    // Keeps the file to its owner (0600) rather than to the session's
    // umask: it holds the sites' passwords.
    void makePrivate();

    const std::string& path() const { return path_; }
    const SystemResult& error() const { return error_; }

private:
    friend class ExportOutputs;
    void fail(SystemResult error);

    std::string path_;
    std::string temporary_;
    std::atomic<bool>* anyFailed_ = nullptr; // the run's, set with the first error
    bool swept_ = false;                     // what killed exports left in the folder is gone
    bool cutLines_;
    bool private_ = false;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_; // file_'s, while it is open
    std::size_t unsynced_ = 0;       // bytes written since the disk was asked to start
    SystemResult error_;
};

// The files of one run: made in order, finished, then all renamed into
// place or all discarded.
class ExportOutputs final {
public:
    ExportOutputs() = default;
    // Its files point back at it.
    ExportOutputs(const ExportOutputs&) = delete;
    ExportOutputs& operator=(const ExportOutputs&) = delete;

    ExportOutput* create(const std::string& path, bool cutLines = true);
    // The file whose error ended the run, or null.
    const ExportOutput* failed() const;
    // Whether the failure was in creating the file rather than adding to it.
    bool failedOpening() const { return failedOpening_; }
    SystemResult finishAll();
    // Puts every finished file on the disk, then renames them all into
    // place and syncs their folders once each.
    SystemResult commitAll();
    void discardAll();
    // Every file of the run, made or still to come, is kept to its owner.
    void makePrivate();
    std::vector<std::string> paths() const;

private:
    std::vector<std::unique_ptr<ExportOutput>> outputs_;
    bool failedOpening_ = false;
    std::atomic<bool> anyFailed_ = false;
    bool private_ = false;
    std::set<std::string> swept_; // folders whose leftovers are gone
    const ExportOutput* openFailure_ = nullptr;
};

} // namespace tessaly
