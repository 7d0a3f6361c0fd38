// The density patch on any file. It writes nothing outside the first APP0
// segment (as its length field counts it), leaves a refused file untouched,
// and never turns a decodable file into one that no longer decodes.
#include <string>

#include "fuzz_support.h"
#include "platform/jpeg.h"
#include "sheet/save.h"

namespace {

// Start and end (exclusive) of the first APP0 segment's bytes; 0, 0 when none.
std::pair<std::size_t, std::size_t> FirstApp0(const std::string& b) {
    if (b.size() < 2 || b.compare(0, 2, "\xFF\xD8") != 0) return {0, 0};
    for (std::size_t p = 0; p + 3 < b.size(); ++p) {
        if (static_cast<unsigned char>(b[p]) != 0xFF ||
            static_cast<unsigned char>(b[p + 1]) != 0xE0)
            continue;
        const std::size_t length =
            (static_cast<unsigned char>(b[p + 2]) << 8) | static_cast<unsigned char>(b[p + 3]);
        return {p + 2, p + 2 + length};
    }
    return {0, 0};
}

bool Decodes(const std::string& b) {
    if (JpegAnnouncedPixels(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()) >
        kFuzzMaxPixels)
        return false;
    Bitmap picture;
    return DecodeJpegMemory(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), picture) ==
           0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchPath("density.jpg");
    WriteScratch(path, data, size);
    const std::string before(reinterpret_cast<const char*>(data), size);
    const int dpi = 1 + static_cast<int>(size % 65535);
    const bool ok = SetJpegDensity(path, dpi);
    const std::string after = ReadScratch(path);
    Check(after.size() == before.size(), "the patch changed the file's length");
    if (after == before) return 0;
    Check(ok, "a refused patch changed the file");
    const auto [first, end] = FirstApp0(before);
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) Check(i >= first && i < end, "a byte outside the APP0 changed");
    if (Decodes(before)) Check(Decodes(after), "the patch broke a decodable file");
    return 0;
}
