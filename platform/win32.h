#pragma once

// The subset of Win32 that Trawler's code is written against, with the real Win32 values.
// Each function behaves as its Win32 namesake does for the arguments the system passes;
// failures are reported the Win32 way (a zero result, with GetLastError).

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using WCHAR = char16_t;
using CHAR = char;
using LPBOOL = BOOL*;
using LPSTR = CHAR*;
using LPCSTR = const CHAR*;
using LPCCH = const CHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;

#define TRUE 1
#define FALSE 0

constexpr UINT CP_UTF8 = 65001;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;

DWORD GetLastError();
void SetLastError(DWORD error);

// Code page 65001 only. Malformed UTF-8 becomes U+FFFD, one for each maximal ill-formed
// subsequence; unpaired surrogates become U+FFFD on the way to UTF-8.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                        LPWSTR wideChar, int wideCharCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideChar, int wideCharCount,
                        LPSTR multiByte, int multiByteCount, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

// Diagnostics: the text goes to the debugger output (standard error as UTF-8, unbuffered).
void OutputDebugStringW(LPCWSTR text);
