// What the tools need from the system to keep a user's files safe: what a path leads to (its
// kind, device and inode), files opened for writing that give the system's reason when they
// fail, temporary files that an interrupted process removes, replacing a file by another, and
// whether a process still runs; and the rules every tool follows with them: whether a path
// leads out of a folder through a link, the name a replaced file is kept under, and which files
// a tool wrote earlier it may remove. Paths are path strings as platform/paths.h describes them.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace karst::platform {

enum class FileKind { kMissing, kRegular, kDirectory, kCharacterDevice, kBlockDevice, kFifo, kSocket, kOther };

// Which file a path leads to: equal identities are the same file, whatever names lead to it.
// On Windows the device is the volume's serial number and the inode the file's index on it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileInfo {
  FileKind kind = FileKind::kMissing;
  FileIdentity identity;
  std::uint64_t size = 0;
  // When its content last changed, in the system's finest unit (nanoseconds on POSIX, 100 ns on
  // Windows): only ever compared with another reading of the same system.
  std::int64_t modified = 0;
};

// What `path` leads to, symbolic links followed. kMissing when nothing can be found there (no
// such entry, a dangling link, a folder that cannot be searched). On Windows the devices (NUL,
// CON, COM1, ...) are character devices under any name that reaches them, and a named pipe a
// FIFO.
FileInfo InspectPath(const std::string& path);

// A file open for writing, closed when it goes. Opening any of them first sets up the handling
// of interruptions of TemporaryFileRegistration and, on POSIX, ignores SIGPIPE, so a reader that
// goes away gives "Broken pipe" as a reason instead of ending the process.
class WritableFile {
 public:
  // Creates `path`, which must not exist yet, with permissions 0666 less the umask (on Windows
  // those the folder hands down).
  static WritableFile CreateNew(const std::string& path);
  // Opens what is at `path` as it is, creating and truncating nothing: a device or FIFO is
  // opened, a socket connected to.
  static WritableFile OpenExisting(const std::string& path);
  // The standard output the process started with (see ClaimStandardOutput, which it calls).
  static WritableFile StandardOutput();

  // Nothing open.
  WritableFile() = default;
  WritableFile(WritableFile&& other) noexcept;
  WritableFile& operator=(WritableFile&& other) noexcept;
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;
  ~WritableFile();

  bool is_open() const { return handle_ != kClosed; }
  // Why it could not be opened, e.g. "Permission denied"; empty when open.
  const std::string& error() const { return error_; }
  // Writes all of `bytes`. Empty on success, else the system's reason.
  std::string Write(std::span<const std::uint8_t> bytes);
  // Closes the file. Empty on success, else the system's reason (some file systems report a
  // failed write only here).
  std::string Close();

 private:
  // A file descriptor on POSIX, a HANDLE on Windows; kClosed (-1, INVALID_HANDLE_VALUE there)
  // when nothing is open.
  static constexpr std::intptr_t kClosed = -1;

  WritableFile(std::intptr_t handle, std::string error) : handle_(handle), error_(std::move(error)) {}

  std::intptr_t handle_ = kClosed;
  std::string error_;
};

// From the first call on, whatever the process writes to its standard output goes to standard
// error, and only WritableFile::StandardOutput reaches the original: a run whose result goes to
// standard output puts nothing else there. Empty on success, else the system's reason.
std::string ClaimStandardOutput();

// Registers a temporary file for removal should the process be interrupted: on SIGINT, SIGTERM
// or SIGHUP (the terminal closed) every registered file is unlinked, and the process then ends
// as the signal would have ended it (a shell sees 128 + the signal). A signal the process was
// started ignoring stays ignored. On Windows the same happens on Ctrl-C, Ctrl-Break and the
// console's closing, through a console control handler. Registrations may come from any
// thread; the handler only reads a fixed table.
class TemporaryFileRegistration {
 public:
  // Registers `path`, before the file is created. Not registered (registered() is false) when
  // the table is full or the path too long for it.
  explicit TemporaryFileRegistration(const std::string& path);
  // Forgets the path: the file has been renamed or removed.
  ~TemporaryFileRegistration();
  TemporaryFileRegistration(const TemporaryFileRegistration&) = delete;
  TemporaryFileRegistration& operator=(const TemporaryFileRegistration&) = delete;

  bool registered() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

// Puts `from` in the place of `to`, replacing what is there at once (rename on POSIX,
// MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows). Empty on success, else the system's
// reason.
std::string RenameOver(const std::string& from, const std::string& to);

// RenameOver, tried again while the system refuses because another program holds `to` open
// (Windows: a sharing or lock violation, or access denied to a file open without sharing for
// deleting), for at most `patience`; `inUse` says whether the last refusal was that. POSIX replaces
// a file whatever holds it open: there it is never in use.
std::string RenameOverWhenFree(const std::string& from, const std::string& to, std::chrono::milliseconds patience,
                               bool& inUse);

// Why the file at `path` cannot be opened for reading, as the system says it (what the mode
// bits, access lists and mounts together allow); empty when it can.
std::string ReadableFileProblem(const std::string& path);

// Removes the file at `path`; nothing when there is none.
void RemoveFile(const std::string& path);

// Whether `path`, links resolved, lies inside the folder `root` and is not `root` itself. `root`
// is given resolved (as std::filesystem::canonical gives it); a path that cannot be resolved lies
// nowhere.
bool LiesInside(const std::string& root, const std::string& path);

// The name the file at `path` is kept under before it is replaced: PATH.orig, else the first of
// PATH.orig.2, PATH.orig.3, ... that does not exist, so that no kept file is ever overwritten.
std::string KeptName(const std::string& path);

// Keeps the file at `path` under KeptName(path), named in `kept`: a hard link where the file
// system allows one, else a copy. Empty on success, else the system's reason.
std::string KeepOriginal(const std::string& path, std::string& kept);

// Removes the file `name` ('/' between its parts) of the folder `folder`, which a tool wrote there
// earlier and writes no more: only a plain file or a link, and only when every folder on its way
// is a real folder, never a link, which would lead to someone else's file. True when nothing is
// there any more; false when something stays.
bool RemoveStaleFile(const std::string& folder, const std::string& name);

int CurrentProcessId();

// True when a process with this id exists, whoever owns it.
bool ProcessExists(int processId);

}  // namespace karst::platform
