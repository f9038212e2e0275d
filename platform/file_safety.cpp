#include "platform/file_safety.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

namespace karst::platform {
namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

// The table the signal handler reads. A slot goes free -> filling -> ready; the handler takes
// ready slots for itself (cleaning) before it reads their path, so no thread can write a path
// while the handler reads it, and a slot it has taken is never handed out again.
enum SlotState : int { kFree, kFilling, kReady, kCleaning };

constexpr std::size_t kSlots = 64;
constexpr std::size_t kLongestPath = 4096;

struct Slot {
  std::atomic<int> state{kFree};
  char path[kLongestPath];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

std::array<Slot, kSlots> slots;

extern "C" void RemoveTemporariesAndStop(int signalNumber) {
  for (Slot& slot : slots) {
    int expected = kReady;
    if (slot.state.compare_exchange_strong(expected, kCleaning)) {
      unlink(slot.path);
    }
  }
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

void SetUpSignals() {
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
  SetUpSignals();
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(-1, Reason(errno));
}

WritableFile WritableFile::OpenExisting(const std::string& path) {
  SetUpSignals();
  if (InspectPath(path).kind == FileKind::kSocket) {
    const int descriptor = ConnectToSocket(path);
    return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(-1, Reason(errno));
  }
  const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(-1, Reason(errno));
}

WritableFile WritableFile::StandardOutput() {
  SetUpSignals();
  const std::string error = ClaimStandardOutput();
  if (!error.empty()) {
    return WritableFile(-1, error);
  }
  const int descriptor = dup(originalStandardOutput);
  return descriptor >= 0 ? WritableFile(descriptor, {}) : WritableFile(-1, Reason(errno));
}

WritableFile::WritableFile(WritableFile&& other) noexcept
    : descriptor_(other.descriptor_), error_(std::move(other.error_)) {
  other.descriptor_ = -1;
}

WritableFile& WritableFile::operator=(WritableFile&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = other.descriptor_;
    error_ = std::move(other.error_);
    other.descriptor_ = -1;
  }
  return *this;
}

WritableFile::~WritableFile() { Close(); }

std::string WritableFile::Write(std::span<const std::uint8_t> bytes) {
  if (descriptor_ < 0) {
    return Reason(EBADF);
  }
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor_, bytes.data(), bytes.size());
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
  if (descriptor_ < 0) {
    return {};
  }
  const int result = close(descriptor_);
  descriptor_ = -1;
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

TemporaryFileRegistration::TemporaryFileRegistration(const std::string& path) {
  SetUpSignals();
  if (path.size() >= kLongestPath) {
    return;
  }
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling)) {
      std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
      slots[i].state.store(kReady);
      slot_ = static_cast<int>(i);
      return;
    }
  }
}

TemporaryFileRegistration::~TemporaryFileRegistration() {
  if (slot_ < 0) {
    return;
  }
  // A slot the handler has taken stays taken: the process is ending.
  int expected = kReady;
  slots[static_cast<std::size_t>(slot_)].state.compare_exchange_strong(expected, kFree);
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

bool ProcessExists(int processId) {
  if (processId <= 0) {
    return false;
  }
  // EPERM: it exists but belongs to someone else.
  return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

}  // namespace karst::platform
