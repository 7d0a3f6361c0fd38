#pragma once
// A private-profile INI reader with the Windows rules:
// - sections and keys match without regard to ASCII case;
// - the first section of a name wins (a later section of the same name is
//   never read), and the first key of a name within it wins;
// - names and values lose the white space around them; a value enclosed in a
//   pair of matching double or single quotes loses the quotes;
// - a value is cut to 2047 characters;
// - a line whose first visible character is ';' is a comment; there are no
//   comments at the end of a line ("300 ; dpi" is the value of its key);
// - a line without '=' names a key without value, which reads as missing;
// - the text is CP932, unless the file starts with the UTF-8 byte-order mark
//   (read as UTF-8) or a UTF-16 byte-order mark (read as UTF-16).
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

constexpr std::size_t kMaxIniValueChars = 2047;

class IniFile {
  public:
    // Reads the file at `path` (UTF-8 path). False when it cannot be read or
    // is not plausibly an INI file (see Parse); the reader is then empty.
    bool Load(const std::string& path);
    // Parses raw file bytes. False, leaving the reader empty, when the text is
    // empty or only a byte-order mark, or when it holds NUL bytes outside a
    // UTF-16 file: such a file is not an INI file at all.
    bool Parse(std::string_view bytes);

    // The value, or `def` when the section or key is missing or has no '='.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    // A decimal integer, or hexadecimal after 0x, 0X or $, optionally signed.
    // `def` when missing, empty or not entirely a number ("12abc", "0x",
    // "abc"); hexadecimal takes 32 bits ("$FFFFFFFF" is -1), decimal beyond
    // the int range gives `def`.
    int GetInt(std::string_view section, std::string_view key, int def) const;
    // A decimal number with a point; 0 when missing, empty or not a number.
    double GetFloat(std::string_view section, std::string_view key) const;

    bool HasSection(std::string_view section) const;

  private:
    using Keys = std::unordered_map<std::string, std::optional<std::string>>;
    const std::optional<std::string>* Find(std::string_view section, std::string_view key) const;
    void ParseText(std::string_view text);

    std::unordered_map<std::string, Keys> sections_;
};

// Integer and number parsing as IniFile reads values; nullopt when the text is
// not entirely a number.
std::optional<int> ParseIniInt(std::string_view text);
std::optional<double> ParseIniFloat(std::string_view text);
