#include <filesystem>
#include <string>

#include "tests/support/run_program.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

namespace karst::testing {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One word of a command line as the C runtime splits it again: quoted when it holds a space, a
// tab or a quote (or nothing), backslashes doubled where a quote follows them.
std::wstring Quoted(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) {
    return word;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// A file the child inherits as one of its standard streams.
HANDLE InheritedFile(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  const TempDir dir;
  ProgramResult result;
  std::wstring commandLine = Quoted(Wide(program));
  for (const std::string& argument : arguments) {
    commandLine += L" " + Quoted(Wide(argument));
  }
  const HANDLE input = InheritedFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE output = InheritedFile(dir.path() / "stdout", GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE errorOutput = InheritedFile(dir.path() / "stderr", GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = errorOutput;
  PROCESS_INFORMATION process{};
  // Under Wine on a busy machine a start now and then fails inside Wine itself (error 1359, an
  // internal error) before the program runs at all: that start is tried again, a few times.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 5 && started == 0; ++attempt) {
    if (attempt > 0) {
      if (GetLastError() != ERROR_INTERNAL_ERROR) {
        break;
      }
      Sleep(200);
    }
    started = CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &process);
  }
  CloseHandle(input);
  CloseHandle(output);
  CloseHandle(errorOutput);
  if (started == 0) {
    // Named, so that a failure to start is told apart from a run that ended with -1.
    result.errorOutput = "CreateProcessW failed with error " + std::to_string(GetLastError());
    return result;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  PROCESS_MEMORY_COUNTERS memory{};
  if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) != 0) {
    result.peakResidentBytes = memory.PeakWorkingSetSize;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.exitCode = static_cast<int>(exitCode);
  result.output = ReadText(dir.path() / "stdout");
  result.errorOutput = ReadText(dir.path() / "stderr");
  return result;
}

bool RunningAsRoot() { return false; }

ProgramResult RunProgramAsNobody(const std::string&, const std::vector<std::string>&) { return {}; }

}  // namespace karst::testing
