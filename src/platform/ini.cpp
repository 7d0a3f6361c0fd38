#include "platform/ini.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/cp932.h"
#include "platform/paths.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// White space as the profile reader trims it (0x1A is the old end-of-file mark).
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Removes one pair of matching surrounding quotes and cuts to the value limit.
std::string CleanValue(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    std::size_t chars = 0, i = 0;
    for (; i < v.size(); ++i) {
        if ((static_cast<unsigned char>(v[i]) & 0xC0) == 0x80) continue;  // UTF-8 continuation
        if (chars == kMaxIniValueChars) break;
        ++chars;
    }
    return std::string(v.substr(0, i));
}

// The file's text as UTF-8, or nullopt when it is not plausibly an INI file.
std::optional<std::string> DecodeText(std::string_view bytes) {
    std::string text;
    if (bytes.starts_with(kUtf8Bom)) {
        text = bytes.substr(kUtf8Bom.size());
    } else if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
        text = Utf16ToUtf8(bytes.substr(2), bytes.starts_with(kUtf16BeBom));
    } else {
        if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
        text = Cp932ToUtf8(bytes);
    }
    if (text.empty() || text.find('\0') != std::string::npos) return std::nullopt;
    return text;
}

std::optional<std::uint32_t> ParseDigits(std::string_view s, int base) {
    if (s.empty()) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int> ParseIniInt(std::string_view text) {
    std::string_view s = Trim(text);
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    // from_chars would take a second sign; digits must follow at once.
    if (s.empty() || s.front() == '-' || s.front() == '+') return std::nullopt;
    std::optional<std::uint32_t> magnitude;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        magnitude = ParseDigits(s.substr(2), 16);
    } else if (s.starts_with("$")) {
        magnitude = ParseDigits(s.substr(1), 16);
    } else {
        magnitude = ParseDigits(s, 10);
        // Decimal stays within the int range: 2147483647, or 2147483648 negated.
        if (magnitude && *magnitude > 2147483647u + (negative ? 1u : 0u)) return std::nullopt;
    }
    if (!magnitude) return std::nullopt;
    // Hexadecimal takes all 32 bits; the sign applies modulo 2^32.
    const std::uint32_t bits = negative ? 0u - *magnitude : *magnitude;
    return static_cast<std::int32_t>(bits);
}

std::optional<double> ParseIniFloat(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.starts_with("+")) {
        s.remove_prefix(1);
        if (s.starts_with("-")) return std::nullopt;
    }
    if (s.empty()) return std::nullopt;
    // Only a plain decimal number: no "inf", "nan" or hexadecimal forms.
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
            return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IniFile::Load(const std::string& path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        sections_.clear();
        return false;
    }
    return Parse(bytes);
}

bool IniFile::Parse(std::string_view bytes) {
    sections_.clear();
    const std::optional<std::string> text = DecodeText(bytes);
    if (!text) return false;
    ParseText(*text);
    return true;
}

void IniFile::ParseText(std::string_view text) {
    Keys* current = nullptr;  // null before the first section and inside a repeated one
    while (!text.empty()) {
        const std::size_t eol = text.find_first_of("\r\n");
        const std::string_view line = Trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;
            auto [it, fresh] = sections_.try_emplace(Lower(Trim(line.substr(1, close - 1))));
            current = fresh ? &it->second : nullptr;
            continue;
        }
        if (!current) continue;
        const std::size_t eq = line.find('=');
        const std::string name = Lower(Trim(line.substr(0, eq)));
        if (name.empty()) continue;
        std::optional<std::string> value;
        if (eq != std::string_view::npos) value = CleanValue(Trim(line.substr(eq + 1)));
        current->try_emplace(name, std::move(value));
    }
}

const std::optional<std::string>* IniFile::Find(std::string_view section,
                                                std::string_view key) const {
    const auto s = sections_.find(Lower(Trim(section)));
    if (s == sections_.end()) return nullptr;
    const auto k = s->second.find(Lower(Trim(key)));
    return k == s->second.end() ? nullptr : &k->second;
}

bool IniFile::HasSection(std::string_view section) const {
    return sections_.count(Lower(Trim(section))) != 0;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view def) const {
    const std::optional<std::string>* v = Find(section, key);
    return v && *v ? **v : std::string(def);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int def) const {
    const std::optional<std::string>* v = Find(section, key);
    if (!v || !*v) return def;
    return ParseIniInt(**v).value_or(def);
}

double IniFile::GetFloat(std::string_view section, std::string_view key) const {
    const std::optional<std::string>* v = Find(section, key);
    if (!v || !*v) return 0.0;
    return ParseIniFloat(**v).value_or(0.0);
}
