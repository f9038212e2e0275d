#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/file_safety.h"
#include "platform/temporary_files.h"

namespace karst::platform {
namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

void Unlink(const char* path) { unlink(path); }

extern "C" void RemoveTemporariesAndStop(int signalNumber) {
  temporary_files::RemoveAll(Unlink);
  // The signal is blocked while its handler runs: it is delivered again, with the default
  // action, as soon as the handler returns.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signalNumber, &fallback, nullptr);
  raise(signalNumber);
}

void InstallHandler(int signalNumber) {
  struct sigaction previous {};
  if (sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
    return;
  }
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesAndStop;
  sigemptyset(&action.sa_mask);
  // Interruptions that come together run one handler after the other, never one inside another.
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGHUP);
  sigaction(signalNumber, &action, nullptr);
}

}  // namespace

void temporary_files::HandleInterruptions() {
  static std::once_flag once;
  std::call_once(once, [] {
    InstallHandler(SIGINT);
    InstallHandler(SIGTERM);
    InstallHandler(SIGHUP);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
  });
}

namespace {

int ConnectToSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) {
    return -1;
  }
  if (connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

// The descriptor the standard output had before it was claimed; -1 until then.
int originalStandardOutput = -1;
std::string claimError;

}  // namespace

FileInfo InspectPath(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return {};
  }
  FileInfo info;
  info.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  info.size = static_cast<std::uint64_t>(status.st_size);
  info.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  if (S_ISREG(status.st_mode)) {
    info.kind = FileKind::kRegular;
  } else if (S_ISDIR(status.st_mode)) {
    info.kind = FileKind::kDirectory;
  } else if (S_ISCHR(status.st_mode)) {
    info.kind = FileKind::kCharacterDevice;
  } else if (S_ISBLK(status.st_mode)) {
    info.kind = FileKind::kBlockDevice;
  } else if (S_ISFIFO(status.st_mode)) {
    info.kind = FileKind::kFifo;
  } else if (S_ISSOCK(status.st_mode)) {
    info.kind = FileKind::kSocket;
  } else {
    info.kind = FileKind::kOther;
  }
  return info;
}

WritableFile WritableFile::CreateNew(const std::string& path) {
  temporary_files::HandleInterruptions();
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(kClosed, Reason(errno));
}

WritableFile WritableFile::OpenExisting(const std::string& path) {
  temporary_files::HandleInterruptions();
  if (InspectPath(path).kind == FileKind::kSocket) {
    const int descriptor = ConnectToSocket(path);
    return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(kClosed, Reason(errno));
  }
  const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(kClosed, Reason(errno));
}

WritableFile WritableFile::StandardOutput() {
  temporary_files::HandleInterruptions();
  const std::string error = ClaimStandardOutput();
  if (!error.empty()) {
    return WritableFile(kClosed, error);
  }
  const int descriptor = dup(originalStandardOutput);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(kClosed, Reason(errno));
}

std::string WritableFile::Write(std::span<const std::uint8_t> bytes) {
  if (handle_ == kClosed) {
    return Reason(EBADF);
  }
  while (!bytes.empty()) {
    const ssize_t written = write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Reason(errno);
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return {};
}

std::string WritableFile::Close() {
  if (handle_ == kClosed) {
    return {};
  }
  const int result = close(static_cast<int>(handle_));
  handle_ = kClosed;
  // After EINTR the descriptor is gone on Linux; the data has been handed over.
  return result != 0 && errno != EINTR ? Reason(errno) : std::string();
}

std::string ClaimStandardOutput() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::fflush(stdout);
    originalStandardOutput = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (originalStandardOutput < 0) {
      claimError = Reason(errno);
      return;
    }
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
      claimError = Reason(errno);
    }
  });
  return claimError;
}

std::string RenameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : Reason(errno);
}

std::string RenameOverWhenFree(const std::string& from, const std::string& to, std::chrono::milliseconds, bool& inUse) {
  inUse = false;
  return RenameOver(from, to);
}

std::string ReadableFileProblem(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    return Reason(errno);
  }
  close(descriptor);
  return {};
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

int CurrentProcessId() { return static_cast<int>(getpid()); }

bool ProcessExists(int processId) {
  if (processId <= 0) {
    return false;
  }
  // EPERM: it exists but belongs to someone else.
  return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

}  // namespace karst::platform
