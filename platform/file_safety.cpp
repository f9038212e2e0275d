#include "platform/file_safety.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "platform/paths.h"
#include "platform/temporary_files.h"

namespace karst::platform {
namespace temporary_files {
namespace {

// A slot goes free -> filling -> ready; the handler takes ready slots for itself (cleaning)
// before it reads their path, so no thread can write a path while the handler reads it, and a
// slot it has taken is never handed out again.
enum SlotState : int { kFree, kFilling, kReady, kCleaning };

constexpr std::size_t kSlots = 64;
constexpr std::size_t kLongestPath = 4096;

struct Slot {
  std::atomic<int> state{kFree};
  NativeChar path[kLongestPath];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

std::array<Slot, kSlots> slots;

}  // namespace

int Register(std::basic_string_view<NativeChar> path) {
  if (path.size() >= kLongestPath) {
    return -1;
  }
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling)) {
      std::memcpy(slots[i].path, path.data(), path.size() * sizeof(NativeChar));
      slots[i].path[path.size()] = NativeChar{};
      slots[i].state.store(kReady);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void Release(int slot) {
  int expected = kReady;
  slots[static_cast<std::size_t>(slot)].state.compare_exchange_strong(expected, kFree);
}

void RemoveAll(void (*remove)(const NativeChar* path)) {
  for (Slot& slot : slots) {
    int expected = kReady;
    if (slot.state.compare_exchange_strong(expected, kCleaning)) {
      remove(slot.path);
    }
  }
}

}  // namespace temporary_files

WritableFile::WritableFile(WritableFile&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
  other.handle_ = kClosed;
}

WritableFile& WritableFile::operator=(WritableFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    error_ = std::move(other.error_);
    other.handle_ = kClosed;
  }
  return *this;
}

WritableFile::~WritableFile() { Close(); }

TemporaryFileRegistration::TemporaryFileRegistration(const std::string& path) {
  temporary_files::HandleInterruptions();
  slot_ = temporary_files::Register(NativePath(path).native());
}

TemporaryFileRegistration::~TemporaryFileRegistration() {
  if (slot_ >= 0) {
    temporary_files::Release(slot_);
  }
}

bool LiesInside(const std::string& root, const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(NativePath(path), error);
  if (error) {
    return false;
  }
  const std::filesystem::path folder = NativePath(root);
  const auto [folderEnd, pathEnd] = std::mismatch(folder.begin(), folder.end(), resolved.begin(), resolved.end());
  return folderEnd == folder.end() && pathEnd != resolved.end();
}

std::string KeptName(const std::string& path) {
  for (int copy = 1;; ++copy) {
    std::string candidate = path + ".orig";
    if (copy > 1) {
      candidate += '.';
      candidate += std::to_string(copy);
    }
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(NativePath(candidate), error))) {
      return candidate;
    }
  }
}

std::string KeepOriginal(const std::string& path, std::string& kept) {
  kept = KeptName(path);
  std::error_code error;
  std::filesystem::create_hard_link(NativePath(path), NativePath(kept), error);
  if (error) {
    error.clear();
    std::filesystem::copy_file(NativePath(path), NativePath(kept), std::filesystem::copy_options::none, error);
  }
  return error ? error.message() : std::string();
}

bool RemoveStaleFile(const std::string& folder, const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path root = NativePath(folder);
  const fs::path inside = NativePath(name);
  std::error_code error;
  fs::path way = root;
  for (auto part = inside.begin(); part != inside.end() && std::next(part) != inside.end(); ++part) {
    way /= *part;
    const fs::file_type type = fs::symlink_status(way, error).type();
    if (type == fs::file_type::not_found) {
      return true;
    }
    if (type != fs::file_type::directory) {
      return false;
    }
  }
  const fs::file_type type = fs::symlink_status(root / inside, error).type();
  if (type == fs::file_type::not_found) {
    return true;
  }
  return (type == fs::file_type::regular || type == fs::file_type::symlink) && fs::remove(root / inside, error);
}

}  // namespace karst::platform
