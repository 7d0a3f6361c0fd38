// The INI reader on any bytes, read the way the layout loader reads it.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/ini.h"

namespace {

// A section or key name taken from the input, so that names the file really
// holds are looked up too.
std::string_view NameFrom(std::string_view text, std::size_t from) {
    const std::size_t start = text.find_first_of("[\n", from);
    if (start == std::string_view::npos) return {};
    const std::size_t end = text.find_first_of("]=\r\n", start + 1);
    return text.substr(start + 1, end == std::string_view::npos ? 16 : end - start - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile ini;
    if (!ini.Parse(text)) {
        Check(ini.GetString("Paper", "width", "d") == "d", "a refused file left values behind");
        return 0;
    }
    const std::string_view section = NameFrom(text, 0);
    const std::string_view key = NameFrom(text, section.size());
    for (const std::string_view s :
         {std::string_view("Paper"), std::string_view("Layout0"), section})
        for (const std::string_view k :
             {std::string_view("width"), std::string_view("font"), key}) {
            const std::string value = ini.GetString(s, k, "");
            Check(value.size() <= 4 * kMaxIniValueChars, "a value longer than the limit");
            ini.GetInt(s, k, -1);
            ini.GetFloat(s, k);
        }
    ParseIniInt(text.substr(0, 64));
    ParseIniFloat(text.substr(0, 64));
    return 0;
}
