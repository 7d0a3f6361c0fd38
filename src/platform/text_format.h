#pragma once
// printf-style formatting into a std::string, for the program's messages and
// status texts (whose formats are given as printf patterns).
#include <string>

#if defined(__GNUC__) || defined(__clang__)
#define KAMBRIX_PRINTF_LIKE __attribute__((format(printf, 1, 2)))
#else
#define KAMBRIX_PRINTF_LIKE
#endif

KAMBRIX_PRINTF_LIKE std::string FormatText(const char* format, ...);
