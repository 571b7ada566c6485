#pragma once

#include <string>
#include <vector>

// Where the program lives and where it may keep files of its own. Every folder comes back
// with a trailing '/', or empty when it cannot be known.

// The folder of the running executable (/proc/self/exe).
std::string ExecutableFolder();

// The program's own folder as named by its first argument: the folder part of `argv0`, or,
// when `argv0` holds no folder (a program found through PATH), the running executable's.
// Never the current folder merely because the program name holds no folder.
std::string ProgramFolderOf(const std::string& argv0);

// The program's own folder for this process: ProgramFolderOf its first argument.
std::string ProgramFolder();

// Whether `folder` is one of the system's program folders (/usr/bin/, /bin/, /usr/local/bin/,
// ...), where an installed program lives: its own files never go there, even when the user
// (root) could write them.
bool IsSystemProgramFolder(const std::string& folder);

// The per-user data folder: $XDG_DATA_HOME/tunwick when $XDG_DATA_HOME is an absolute path,
// else $HOME/.local/share/tunwick.
std::string UserDataFolder();

// The folders the program's installed data (cue sound, songbook) is looked up in, in order:
// beside the program (a build, or an unpacked copy), the data folder of the prefix the
// program lies in (`programFolder`/../share/tunwick/, so that an install into another prefix
// finds its own data), then the configured data folder. A folder that cannot be known
// (empty) is left out.
std::vector<std::string> DataFoldersOf(const std::string& programFolder,
                                       const std::string& configuredFolder);

// DataFoldersOf the running executable's folder and the data folder configured at build time.
std::vector<std::string> DataFolders();

// What a data search looks for.
enum class DataKind { kReadableFile, kFolder };

// The path of `name` in the first of `folders` that holds it as `kind`; "" when none does.
std::string FindData(const std::string& name, const std::vector<std::string>& folders,
                     DataKind kind);
