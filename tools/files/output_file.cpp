#include "tools/files/output_file.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "platform/paths.h"

namespace karst::tools {
namespace {

constexpr std::string_view kTemporarySuffix = ".part";
constexpr std::size_t kRandomDigits = 8;
// Enough of the target's name to recognise it, short enough that the temporary name stays
// within the 255 bytes a file name may have.
constexpr std::size_t kMostNameBytes = 200;

std::string TemporaryPathFor(const std::filesystem::path& target) {
  std::random_device entropy;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%d.%08x", platform::CurrentProcessId(), static_cast<unsigned>(entropy()));
  // Appended piece by piece: GCC 12 at -O3 warns about a chain of string additions here.
  std::string name = ".";
  name.append(platform::PathText(target.filename()).substr(0, kMostNameBytes)).append(suffix).append(kTemporarySuffix);
  return platform::PathText(target.parent_path() / platform::NativePath(name));
}

bool IsHexDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The process id in a name of the form ".NAME.<pid>.<8 hex digits>.part"; nothing for any
// other name, which is then no temporary file of ours.
std::optional<int> TemporaryFileOwner(std::string_view name) {
  if (name.size() < 2 || name.front() != '.' || !name.ends_with(kTemporarySuffix)) {
    return std::nullopt;
  }
  name.remove_suffix(kTemporarySuffix.size());
  const std::size_t randomDot = name.rfind('.');
  if (randomDot == std::string_view::npos || name.size() - randomDot - 1 != kRandomDigits ||
      !IsHexDigits(name.substr(randomDot + 1))) {
    return std::nullopt;
  }
  name = name.substr(0, randomDot);
  const std::size_t pidDot = name.rfind('.');
  // Position 0 is the leading dot: the target's name between them must not be empty.
  if (pidDot == std::string_view::npos || pidDot < 2) {
    return std::nullopt;
  }
  const std::string_view digits = name.substr(pidDot + 1);
  int owner = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), owner);
  if (digits.empty() || digits.front() == '0' || error != std::errc{} || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return owner;
}

// Removes the temporary files that processes which no longer exist left in `directory`; once
// per folder and run.
void RemoveAbandonedTemporaries(const std::filesystem::path& directory) {
  static std::mutex mutex;
  static std::set<std::filesystem::path> cleaned;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!cleaned.insert(directory).second) {
      return;
    }
  }
  std::error_code error;
  std::filesystem::directory_iterator entries(directory.empty() ? "." : directory, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::optional<int> owner = TemporaryFileOwner(platform::PathText(entries->path().filename()));
    std::error_code ignored;
    if (owner && *owner != platform::CurrentProcessId() && !platform::ProcessExists(*owner) &&
        entries->symlink_status(ignored).type() == std::filesystem::file_type::regular) {
      std::filesystem::remove(entries->path(), ignored);
    }
  }
}

bool WrittenDirectly(platform::FileKind kind) {
  return kind == platform::FileKind::kCharacterDevice || kind == platform::FileKind::kFifo ||
         kind == platform::FileKind::kSocket;
}

}  // namespace

OutputFile::OutputFile(const std::string& target) : target_(target) {
  if (target == kStandardOutputName) {
    file_ = platform::WritableFile::StandardOutput();
    if (!file_.is_open()) {
      error_ = "cannot be opened: " + file_.error();
    }
    return;
  }
  const platform::FileKind kind = platform::InspectPath(target).kind;
  if (kind == platform::FileKind::kDirectory) {
    // Known before any work: the rename would fail.
    error_ = "cannot be written: " + std::make_error_code(std::errc::is_a_directory).message();
    return;
  }
  if (WrittenDirectly(kind)) {
    file_ = platform::WritableFile::OpenExisting(target);
    if (!file_.is_open()) {
      error_ = "cannot be opened: " + file_.error();
    }
    return;
  }
  const std::filesystem::path targetPath = platform::NativePath(target);
  RemoveAbandonedTemporaries(targetPath.parent_path());
  const std::string temporary = TemporaryPathFor(targetPath);
  // Registered before it exists, so no moment passes in which an interruption would leave it.
  registration_.emplace(temporary);
  if (!registration_->registered()) {
    error_ = "cannot be created: too many files are being written at once";
    return;
  }
  file_ = platform::WritableFile::CreateNew(temporary);
  if (!file_.is_open()) {
    error_ = "cannot be created: " + file_.error();
    return;
  }
  temporary_ = temporary;
}

OutputFile::~OutputFile() {
  file_.Close();
  if (!temporary_.empty() && !placed_) {
    platform::RemoveFile(temporary_);
  }
}

std::string OutputFile::Write(std::span<const std::uint8_t> bytes) {
  if (error_.empty()) {
    if (const std::string failure = file_.Write(bytes); !failure.empty()) {
      error_ = "cannot be written: " + failure;
    }
  }
  return error_;
}

std::string OutputFile::Finish(std::span<const std::uint8_t> bytes) {
  if (!error_.empty()) {
    return error_;
  }
  std::string failure = file_.Write(bytes);
  const std::string closeFailure = file_.Close();
  if (failure.empty()) {
    failure = closeFailure;
  }
  if (!failure.empty()) {
    return "cannot be written: " + failure;
  }
  if (temporary_.empty()) {
    return {};
  }
  if (const std::string error = platform::RenameOverWhenFree(temporary_, target_, renamePatience_, inUse_);
      !error.empty()) {
    return "cannot be written: " + error;
  }
  placed_ = true;
  return {};
}

std::string WriteOutput(const std::string& target, std::span<const std::uint8_t> bytes) {
  OutputFile output(target);
  return output.Finish(bytes);
}

std::string FirstOutputProblem(const std::string& firstOutput) {
  if (WrittenDirectly(platform::InspectPath(firstOutput).kind)) {
    return {};
  }
  const OutputFile probe(firstOutput);
  return probe.error();
}

std::string MakeOutputFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(platform::NativePath(folder), error);
  return error ? "cannot create the directory: " + error.message() : std::string();
}

void ReserveStandardOutputFor(const std::string& output) {
  if (output == kStandardOutputName) {
    platform::ClaimStandardOutput();
  }
}

}  // namespace karst::tools
