#include <io.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwctype>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/file_safety.h"
#include "platform/paths.h"
#include "platform/temporary_files.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"

namespace karst::platform {
namespace {

std::string Reason(DWORD error) { return SystemErrorText(error); }

std::intptr_t Handle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// The names the system keeps for its devices in every folder, with any extension ("nul.txt" is
// NUL too) and in any case.
bool NamesDevice(std::wstring_view name) {
  constexpr std::array<std::wstring_view, 6> kDevices{L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
  name = name.substr(0, name.find(L'.'));
  while (!name.empty() && name.back() == L' ') {
    name.remove_suffix(1);
  }
  std::wstring folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), [](wchar_t c) { return std::towlower(c); });
  if (std::find(kDevices.begin(), kDevices.end(), folded) != kDevices.end()) {
    return true;
  }
  // COM1 to COM9, LPT1 to LPT9.
  return folded.size() == 4 && (folded.starts_with(L"com") || folded.starts_with(L"lpt")) && folded[3] >= L'1' &&
         folded[3] <= L'9';
}

void Delete(const wchar_t* path) { DeleteFileW(path); }

// Runs on a thread of its own, as the system starts one for each console event.
BOOL WINAPI RemoveTemporariesAndStop(DWORD event) {
  temporary_files::RemoveAll(Delete);
  // Not handled: the next handler, in the end the system's, ends the process as it would have.
  static_cast<void>(event);
  return FALSE;
}

// The handle the standard output had before it was claimed; null until then.
HANDLE originalStandardOutput = nullptr;
std::string claimError;

}  // namespace

void temporary_files::HandleInterruptions() {
  static std::once_flag once;
  std::call_once(once, [] { SetConsoleCtrlHandler(RemoveTemporariesAndStop, TRUE); });
}

FileInfo InspectPath(const std::string& path) {
  const std::filesystem::path native = NativePath(path);
  if (NamesDevice(native.filename().native())) {
    FileInfo device;
    device.kind = FileKind::kCharacterDevice;
    return device;
  }
  // No access asked for, only what the file is; a folder opens with backup semantics.
  const HANDLE file = CreateFileW(native.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  FileInfo info;
  switch (GetFileType(file)) {
    case FILE_TYPE_CHAR:
      info.kind = FileKind::kCharacterDevice;
      break;
    case FILE_TYPE_PIPE:
      info.kind = FileKind::kFifo;
      break;
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION details{};
      if (GetFileInformationByHandle(file, &details) == 0) {
        info.kind = FileKind::kOther;
        break;
      }
      info.kind =
          (details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kRegular;
      info.identity = {details.dwVolumeSerialNumber,
                       (static_cast<std::uint64_t>(details.nFileIndexHigh) << 32) | details.nFileIndexLow};
      info.size = (static_cast<std::uint64_t>(details.nFileSizeHigh) << 32) | details.nFileSizeLow;
      info.modified =
          static_cast<std::int64_t>((static_cast<std::uint64_t>(details.ftLastWriteTime.dwHighDateTime) << 32) |
                                    details.ftLastWriteTime.dwLowDateTime);
      break;
    }
    default:
      info.kind = FileKind::kOther;
  }
  CloseHandle(file);
  return info;
}

WritableFile WritableFile::CreateNew(const std::string& path) {
  temporary_files::HandleInterruptions();
  // Others may delete it while it is open, so the console handler can remove it at any moment.
  const HANDLE file = CreateFileW(NativePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE ? WritableFile(Handle(file), {}) : WritableFile(kClosed, Reason(GetLastError()));
}

WritableFile WritableFile::OpenExisting(const std::string& path) {
  temporary_files::HandleInterruptions();
  const HANDLE file = CreateFileW(NativePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE ? WritableFile(Handle(file), {}) : WritableFile(kClosed, Reason(GetLastError()));
}

WritableFile WritableFile::StandardOutput() {
  temporary_files::HandleInterruptions();
  const std::string error = ClaimStandardOutput();
  if (!error.empty()) {
    return WritableFile(kClosed, error);
  }
  HANDLE copy = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), originalStandardOutput, GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS) == 0) {
    return WritableFile(kClosed, Reason(GetLastError()));
  }
  return WritableFile(Handle(copy), {});
}

std::string WritableFile::Write(std::span<const std::uint8_t> bytes) {
  if (handle_ == kClosed) {
    return Reason(ERROR_INVALID_HANDLE);
  }
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), chunk, &written, nullptr) == 0) {
      return Reason(GetLastError());
    }
    bytes = bytes.subspan(written);
  }
  return {};
}

std::string WritableFile::Close() {
  if (handle_ == kClosed) {
    return {};
  }
  const BOOL closed = CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
  return closed == 0 ? Reason(GetLastError()) : std::string();
}

std::string ClaimStandardOutput() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::fflush(stdout);
    // The C library's descriptor 1 owns the handle and closes it when it is replaced: the
    // original is kept as a copy of our own.
    const HANDLE standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    if (standardOutput == nullptr || standardOutput == INVALID_HANDLE_VALUE ||
        DuplicateHandle(GetCurrentProcess(), standardOutput, GetCurrentProcess(), &originalStandardOutput, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0) {
      claimError = Reason(standardOutput == nullptr ? ERROR_INVALID_HANDLE : GetLastError());
      return;
    }
    if (_dup2(_fileno(stderr), _fileno(stdout)) != 0 ||
        SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE)) == 0) {
      claimError = Reason(GetLastError());
    }
  });
  return claimError;
}

std::string RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0
             ? std::string()
             : Reason(GetLastError());
}

std::string RenameOverWhenFree(const std::string& from, const std::string& to, std::chrono::milliseconds patience,
                               bool& inUse) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
      inUse = false;
      return {};
    }
    const DWORD error = GetLastError();
    inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!inUse || std::chrono::steady_clock::now() >= deadline) {
      return Reason(error);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string ReadableFileProblem(const std::string& path) {
  const HANDLE file =
      CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return Reason(GetLastError());
  }
  CloseHandle(file);
  return {};
}

void RemoveFile(const std::string& path) { DeleteFileW(NativePath(path).c_str()); }

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

bool ProcessExists(int processId) {
  if (processId <= 0) {
    return false;
  }
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr) {
    // Access denied: it exists but belongs to someone else.
    return GetLastError() == ERROR_ACCESS_DENIED;
  }
  // A process that has ended lives on as an object while handles to it are open.
  DWORD exitCode = 0;
  const bool running = GetExitCodeProcess(process, &exitCode) != 0 && exitCode == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

}  // namespace karst::platform
