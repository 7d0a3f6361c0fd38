#include "platform/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of `in` as possible, appending to `out`. Returns how
    // many input bytes were consumed; stops at the first bad sequence.
    std::size_t Run(std::string_view in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst);
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) break;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return in.size() - srcLeft;
    }

  private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
std::size_t Utf8SequenceLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t n = 1;
    if (lead >= 0xC2 && lead <= 0xDF) n = 2;
    if (lead >= 0xE0 && lead <= 0xEF) n = 3;
    if (lead >= 0xF0 && lead <= 0xF4) n = 4;
    if (n > s.size()) return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    return n;
}

// Converts `in`, replacing each bad sequence (skipping `skip(rest)` bytes) by
// `replacement`. True when nothing had to be replaced.
template <typename Skip>
bool Convert(const char* to, const char* from, std::string_view in, std::string& out,
             std::string_view replacement, Skip skip) {
    out.clear();
    Converter conv(to, from);
    if (!conv.Ok()) return false;
    bool clean = true;
    while (!in.empty()) {
        in.remove_prefix(conv.Run(in, out));
        if (in.empty()) break;
        clean = false;
        out.append(replacement);
        in.remove_prefix(skip(in));
    }
    return clean;
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& out) {
    return Convert("UTF-8", "CP932", cp932, out, kReplacementUtf8,
                   [](std::string_view) { return std::size_t{1}; });
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
    return Convert("CP932", "UTF-8", utf8, out, "?", Utf8SequenceLength);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    Cp932ToUtf8(cp932, out);
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    std::string out;
    Utf8ToCp932(utf8, out);
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    Convert("UTF-8", bigEndian ? "UTF-16BE" : "UTF-16LE", bytes, out, kReplacementUtf8,
            [](std::string_view rest) { return std::min<std::size_t>(2, rest.size()); });
    return out;
}
