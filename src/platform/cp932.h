#pragma once
// Shift-JIS (Windows code page 932) text at the file boundary. Strings inside
// the program are UTF-8; layout files, the recognition log, the training list
// and the name list are CP932 on disk.
//
// Conversion follows the system's CP932 table (glibc's on Linux): the NEC row
// 13 specials (①, №, ㈱) and the IBM extensions round-trip; an IBM extension
// that also exists in the NEC-selected rows (0xED40..0xEEFC) decodes to the
// same character as its IBM code (0xFA40..0xFC4B) and encodes back to the IBM
// code. U+301C (wave dash) encodes to 0x8160, which decodes to U+FF5E.
#include <string>
#include <string_view>

// CP932 bytes to UTF-8. A byte sequence that is not CP932 becomes U+FFFD (one
// per bad byte); the function never fails.
std::string Cp932ToUtf8(std::string_view cp932);
// UTF-8 to CP932. A character CP932 lacks, or a malformed UTF-8 sequence,
// becomes '?' (one per character or bad byte); the function never fails.
std::string Utf8ToCp932(std::string_view utf8);

// The same conversions reporting whether every byte converted: `out` receives
// the converted text with the replacements above either way.
bool Cp932ToUtf8(std::string_view cp932, std::string& out);
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// UTF-16 bytes (without byte-order mark) to UTF-8; bad units become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
