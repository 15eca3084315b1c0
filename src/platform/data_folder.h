#pragma once

#include "framework/system_file.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly {

// The folder that holds the user's database, INI files and templates. Both
// programs make it their working directory, so every relative file name of
// the system lives there.
struct DataFolderChoice {
    std::string path;
    std::string error; // set when the folder could not be made or entered
};

// The folder named by `--data DIR` (or `--data=DIR`) in `arguments`, else
// $TESSALY_DATA, else $XDG_DATA_HOME/tessaly, else ~/.local/share/tessaly.
std::string chooseDataFolder(const std::vector<std::string>& arguments);

// Creates the folder (with its parents, each 0700) and makes it the working
// directory; `path` of the result is its absolute name with every link and
// `..` resolved, the only name the program keeps of it. Sets the process
// umask to 077, so every file created later is 0600, and takes the group's
// and others' access away from the folder and the program's own files
// already in it.
DataFolderChoice enterDataFolder(const std::string& path);

// The permissions of a file the user asked for outside the data folder (an
// export): read and write as the session's own umask allows, the one the
// program found at its start, not the private one it keeps for its folder.
mode_t userFileMode();

// Why nothing the user names (an export and its extra pages, a report, a
// list, a picture, a folder to save pages in) may be written at `path`:
// it is the data folder itself, or one of the program's own files in it (a
// database with its journal, an INI file or a log), whatever the spelling:
// relative, through `..` or a symbolic link, a hard link to the file, or
// another letter case where the file system ignores case. Empty when it
// may be written.
std::string programFileRefusal(const std::string& path);

// Whether a file the user asked for (an export, a report, a list) may be
// written at `path` under a temporary name and renamed over it: not a
// device, pipe or folder, not one of the program's own files.
SystemResult userFileTarget(const std::string& path);

} // namespace tessaly
