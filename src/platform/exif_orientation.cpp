// Finds the Orientation entry of IFD0 in the APP1 Exif segment. Every offset
// read from the file is checked against the bytes actually there before use.
#include "platform/exif_orientation.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/paths.h"

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
// Markers may be preceded by other APPn segments (JFIF, XMP, ICC); 256 KB
// covers four maximal segments.
constexpr std::size_t kHeadBytes = 256 * 1024;

struct Tiff {
    const std::uint8_t* data;
    std::size_t size;
    bool bigEndian;

    std::uint16_t U16(std::size_t at) const {
        return bigEndian ? std::uint16_t(data[at] << 8 | data[at + 1])
                         : std::uint16_t(data[at + 1] << 8 | data[at]);
    }
    std::uint32_t U32(std::size_t at) const {
        return bigEndian ? std::uint32_t(U16(at)) << 16 | U16(at + 2)
                         : std::uint32_t(U16(at + 2)) << 16 | U16(at);
    }
};

int OrientationInTiff(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 1;
    Tiff tiff{data, size, false};
    if (data[0] == 'M' && data[1] == 'M') {
        tiff.bigEndian = true;
    } else if (data[0] != 'I' || data[1] != 'I') {
        return 1;
    }
    if (tiff.U16(2) != 42) return 1;
    const std::uint32_t ifd = tiff.U32(4);
    if (ifd > size - 2) return 1;
    const std::size_t count = tiff.U16(ifd);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (entry + 12 > size) break;
        if (tiff.U16(entry) != kOrientationTag) continue;
        if (tiff.U16(entry + 2) != kTypeShort || tiff.U32(entry + 4) < 1) return 1;
        const int value = tiff.U16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

}  // namespace

int JpegExifOrientation(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 1;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) return 1;
        const std::uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 1;  // scan or end: no tag before it
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            pos += 2;
            continue;
        }
        const std::size_t length = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2) return 1;
        const std::size_t body = pos + 4, bodySize = length - 2;
        if (bodySize > size - body) return 1;
        if (marker == 0xE1 && bodySize >= 6 && std::memcmp(data + body, "Exif\0\0", 6) == 0)
            return OrientationInTiff(data + body + 6, bodySize - 6);
        pos = body + bodySize;
    }
    return 1;
}

int ReadJpegExifOrientation(const std::string& path) {
    std::ifstream file(ToFsPath(path), std::ios::binary);
    if (!file) return 1;
    std::vector<std::uint8_t> head(kHeadBytes);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return JpegExifOrientation(head.data(), head.size());
}
