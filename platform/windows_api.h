// The Windows API for the Windows side of platform/. Included after our own headers: windows.h
// defines macros for the names of our platform calls and constants (GetModuleFileName,
// MessageBox, MB_OK, ...), which would otherwise rewrite them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateWindowEx
#undef DefWindowProc
#undef DispatchMessage
#undef GetMessage
#undef GetModuleFileName
#undef GetModuleHandle
#undef LoadCursor
#undef LoadIcon
#undef MessageBox
#undef PeekMessage
#undef RegisterClass
#undef SystemParametersInfo
#undef TextOut
