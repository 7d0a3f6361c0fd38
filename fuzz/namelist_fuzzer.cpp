// The name list reader and the caption cut on any bytes: entries never
// outnumber the lines, fields never outgrow their line, and a cut caption is
// a prefix of its text that ends between characters.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/cp932.h"
#include "sheet/caption.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const NameList list = ParseNameList(bytes);
    const std::size_t lines =
        1 + static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(),
                                                   [](char c) { return c == '\n' || c == '\r'; }));
    Check(list.size() <= lines, "more entries than lines");
    const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
    for (const bool cp932 : {true, false})
        for (const std::string& field : SplitNameListLine(line, cp932))
            Check(field.size() <= line.size(), "a field longer than its line");
    if (!list.empty()) NameListCaption(list, list.front().fileName);
    const std::string text = Cp932ToUtf8(bytes);
    const std::string cut = CutCaption(text);
    Check(text.compare(0, cut.size(), cut) == 0, "a cut caption is not a prefix of its text");
    Check(cut.size() == text.size() || cut.empty() ||
              (static_cast<unsigned char>(text[cut.size()]) & 0xC0) != 0x80,
          "a caption cut inside a character");
    return 0;
}
