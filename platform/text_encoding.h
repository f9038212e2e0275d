// Conversions between the system's wide strings and byte strings in a code page, for the
// Windows side of platform/.
#pragma once

#include <string>
#include <string_view>

namespace karst::platform {

// The code page of the process's path strings: CP_ACP, or CP_UTF8 once a console tool has
// begun (see platform/paths.h).
unsigned PathCodePage();

// `bytes` in code page `codePage` (CP_ACP, CP_UTF8, ...) as a wide string; a byte sequence
// the code page does not know becomes U+FFFD.
std::wstring WideFromBytes(std::string_view bytes, unsigned codePage);
// `wide` in code page `codePage`; a character it cannot hold becomes its default character.
std::string BytesFromWide(std::wstring_view wide, unsigned codePage);

// The system's text for error code `error` (GetLastError's), in English where the system has
// it, without the line end; "error N" when it has none.
std::string SystemErrorText(unsigned long error);

}  // namespace karst::platform
