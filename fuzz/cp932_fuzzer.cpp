// The text conversions on any bytes: whatever comes in, what goes out is
// well-formed UTF-8 (or CP932 that converts back to well-formed UTF-8).
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/cp932.h"

namespace {

bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        unsigned int code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, code = c & 0x07;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            code = (code << 6) | (t & 0x3F);
        }
        if ((n == 2 && code < 0x800) || (n == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(IsUtf8(Cp932ToUtf8(bytes)), "CP932 to UTF-8 gave malformed UTF-8");
    const std::string cp932 = Utf8ToCp932(bytes);
    Check(IsUtf8(Cp932ToUtf8(cp932)), "UTF-8 to CP932 gave bytes that do not convert back");
    Check(IsUtf8(Utf16ToUtf8(bytes, false)), "UTF-16LE to UTF-8 gave malformed UTF-8");
    Check(IsUtf8(Utf16ToUtf8(bytes, true)), "UTF-16BE to UTF-8 gave malformed UTF-8");
    return 0;
}
