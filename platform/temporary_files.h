// The table of temporary files that an interruption removes. TemporaryFileRegistration fills
// it; each platform's interruption handler (a signal handler on POSIX, a console control
// handler on Windows) empties it. Lock-free, so a signal handler may read it.
#pragma once

#include <filesystem>
#include <string_view>

namespace karst::platform::temporary_files {

using NativeChar = std::filesystem::path::value_type;

// Takes a slot for `path`; -1 when the table is full or the path too long for it.
int Register(std::basic_string_view<NativeChar> path);
// Frees the slot again, unless the handler has taken it (the process is then ending).
void Release(int slot);
// For the handler: takes every registered slot for itself and removes its file with `remove`.
void RemoveAll(void (*remove)(const NativeChar* path));

// Installs the platform's handler of interruptions, once; every later call does nothing.
void HandleInterruptions();

}  // namespace karst::platform::temporary_files
