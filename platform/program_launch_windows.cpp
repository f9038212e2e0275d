#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/program_launch.h"
#include "platform/text_encoding.h"
#include "platform/windows_api.h"

#include <shellapi.h>

namespace karst::platform {
namespace {

// One argument of a command line as the C runtime splits it again: quoted, with the backslashes
// before a quote doubled.
std::wstring QuotedArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t character : argument) {
    if (character == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(character);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::wstring EnvironmentFolder(const wchar_t* name) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

std::string FindProgram(const std::string& name, const std::string& windowsFolder) {
  const std::wstring file = WideFromBytes(name + ".exe", PathCodePage());
  wchar_t found[MAX_PATH];
  if (SearchPathW(nullptr, file.c_str(), nullptr, MAX_PATH, found, nullptr) > 0) {
    return PathText(std::filesystem::path(found));
  }
  if (windowsFolder.empty()) {
    return {};
  }
  for (const wchar_t* variable : {L"ProgramFiles", L"ProgramFiles(x86)", L"LOCALAPPDATA"}) {
    const std::wstring folder = EnvironmentFolder(variable);
    if (folder.empty()) {
      continue;
    }
    std::filesystem::path candidate = std::filesystem::path(folder);
    if (std::wstring(variable) == L"LOCALAPPDATA") {
      candidate /= L"Programs";
    }
    candidate /= NativePath(windowsFolder);
    candidate /= file;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) {
      return PathText(candidate);
    }
  }
  return {};
}

std::string StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = QuotedArgument(NativePath(program).native());
  for (const std::string& argument : arguments) {
    commandLine += L" " + QuotedArgument(NativePath(argument).native());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return program + " cannot be started: " + SystemErrorText(GetLastError());
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return {};
}

std::string OpenWithSystem(const std::string& path) {
  const std::wstring target = NativePath(path).native();
  // ShellExecute's result is a number above 32 on success.
  const auto result =
      reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) {
    return path + " cannot be opened: " + SystemErrorText(GetLastError());
  }
  return {};
}

}  // namespace karst::platform
