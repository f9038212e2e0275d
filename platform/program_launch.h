// Starting other programs beside this one for a person to use: Tiled on a map, the system's own
// handler for a file or a folder (the file manager, an image editor, a text editor). The program
// started runs on by itself; nothing waits for it, and it outlives this one.
#pragma once

#include <string>
#include <vector>

namespace karst::platform {

// The path of the program `name` ("tiled") where this system keeps it: on the PATH, and on Windows
// also where its installer puts it (`windowsFolder` under the program folders, e.g. "Tiled");
// empty when there is none.
std::string FindProgram(const std::string& name, const std::string& windowsFolder = {});

// Starts `program` with `arguments`. Empty when it started, else why not.
std::string StartProgram(const std::string& program, const std::vector<std::string>& arguments);

// Opens `path` with the system's handler for it (xdg-open; the shell's "open" on Windows). Empty
// when the handler was asked, else why not.
std::string OpenWithSystem(const std::string& path);

}  // namespace karst::platform
