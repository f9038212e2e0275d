// The folders of the user's own files that the system names: where a program keeps its settings
// and where it keeps data it makes for the user. Each is the system's folder shared by every
// program; a program adds a folder of its own name ("karst") below it.
//
// POSIX: $XDG_CONFIG_HOME and $XDG_DATA_HOME when set to an absolute path (a relative one is
// ignored, as the XDG base directory rules say), else ~/.config and ~/.local/share, the home
// folder being $HOME or, without it, the user's entry in the password database.
// Windows: %APPDATA% (roaming, for settings) and %LOCALAPPDATA% (this machine's data).
#pragma once

#include <string>

namespace karst::platform {

// The folder for settings; empty when the system names none.
std::string ConfigFolder();

// The folder for data made for the user; empty when the system names none.
std::string DataFolder();

}  // namespace karst::platform
