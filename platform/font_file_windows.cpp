#include <array>
#include <string_view>

#include "platform/font_file.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"

namespace karst::platform {

std::string FindSansSerifFont() {
  constexpr std::wstring_view kFontFile = L"DejaVuSans.ttf";
  // Wide and given to SDL as UTF-8, so the program's folder may have any name here.
  std::array<wchar_t, 32768> buffer{};
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) {
    return {};
  }
  std::wstring path(buffer.data(), length);
  path.erase(path.find_last_of(L"\\/") + 1);
  path += kFontFile;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return {};
  }
  return BytesFromWide(path, CP_UTF8);
}

}  // namespace karst::platform
