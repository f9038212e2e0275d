#include <climits>
#include <memory>

#include "platform/text_encoding.h"

#include "platform/windows_api.h"

namespace karst::platform {
namespace {

struct LocalFreer {
  void operator()(char* text) const { LocalFree(text); }
};

}  // namespace

std::wstring WideFromBytes(std::string_view bytes, unsigned codePage) {
  if (bytes.empty() || bytes.size() > INT_MAX) {
    return {};
  }
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
  }
  return wide;
}

std::string BytesFromWide(std::wstring_view wide, unsigned codePage) {
  if (wide.empty() || wide.size() > INT_MAX) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  }
  return bytes;
}

std::string SystemErrorText(unsigned long error) {
  constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  char* text = nullptr;
  DWORD length = FormatMessageA(kFlags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0) {
    // A system without its English texts: its own language, then.
    length = FormatMessageA(kFlags, nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  }
  const std::unique_ptr<char, LocalFreer> owned(text);
  if (length == 0 || text == nullptr) {
    return "error " + std::to_string(error);
  }
  std::string message(text, length);
  // The system ends its texts with a full stop and a line end; ours carry neither.
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace karst::platform
