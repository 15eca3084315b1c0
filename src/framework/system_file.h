#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

// The outcome of a call to the operating system: errno and its text.
struct SystemResult {
    int errorNumber = 0;
    std::string text;

    bool ok() const { return errorNumber == 0; }
    static SystemResult fromErrno(int number);
};

// Reads a whole file into `content`. Files larger than `maxBytes` are refused
// with EFBIG rather than read into memory.
SystemResult readWholeFile(const std::string& path, std::string& content,
                           std::size_t maxBytes = std::size_t{64} << 20U);
// The same for what an open descriptor (a pipe, standard input) gives up to
// its end; the descriptor stays open.
SystemResult readWholeDescriptor(int fd, std::string& content,
                                 std::size_t maxBytes = std::size_t{64} << 20U);

// Whether a file written under a temporary name may be renamed over
// `path`: when nothing is there or a regular file is (a link is followed).
// A device, a pipe or a folder would be replaced by the rename rather than
// written to: that is an error ("not a regular file").
SystemResult replaceableTarget(const std::string& path);

// Replaces `path` with `content` so that a crash, a full disk or a write error
// leaves the old file intact: the text goes to a temporary file in the same
// folder, is flushed to disk, and is then renamed over `path`. A file that is
// new gets the permissions 0644 less the umask; an existing one keeps its own.
SystemResult writeFileAtomically(const std::string& path, std::string_view content);

// Gives the file `from` the name `to` unless a file already has it (EEXIST
// then, and both stay as they were), in one step where the file system
// can: by RENAME_NOREPLACE, else (network and FUSE file systems without it)
// by a hard link, else (vfat has neither) after a look, which another
// program could beat only by an instant.
SystemResult renameWithoutReplacing(const std::string& from, const std::string& to);

// Closes `file` (when open) and removes the temporary file `temporary`
// (when named), leaving both empty: what an output written under a
// temporary name does when its run fails.
void discardTemporary(std::FILE*& file, std::string& temporary);

// Temporaries of ours carry the number of the process that made them:
// `prefix` + process number + "-" + whatever keeps them apart.
std::string temporaryPrefix(std::string_view prefix);

// Removes what an earlier run left in `folder` under temporaryPrefix()
// names: files and folders (with all they hold) whose process has ended
// and which are older than this process. A run killed before it could
// clean up leaves them; the next run of the same kind takes them away.
// With `afterAnyName`, the prefix may follow any text ("x.htm.part" then
// the process): one look through the folder for the temporaries of every
// file name.
void removeStaleTemporaries(const std::string& folder, std::string_view prefix,
                            bool afterAnyName = false);

} // namespace tessaly
