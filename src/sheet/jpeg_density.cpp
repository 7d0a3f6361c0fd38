// The print resolution in a JPEG file's JFIF header, patched in place.
#include <fstream>

#include "platform/paths.h"
#include "sheet/save.h"

namespace {

constexpr std::streamoff kHeadBytes = 200;
constexpr int kLastMarkerPos = 193;
constexpr int kDensityOffset = 11;  // from the APP0 marker to the density unit

// Where the density unit of the first APP0 segment lies when that segment is
// a JFIF one and the five density bytes lie inside the file; -1 otherwise.
// Only the `n` bytes read are looked at.
long DensityOffset(const unsigned char* head, long n, std::streamoff fileSize) {
    if (n < 2 || head[0] != 0xFF || head[1] != 0xD8) return -1;
    for (long p = 0; p <= kLastMarkerPos && p + 1 < n; ++p) {
        if (head[p] != 0xFF || head[p + 1] != 0xE0) continue;
        const bool jfif = p + 7 < n && head[p + 4] == 'J' && head[p + 5] == 'F' &&
                          head[p + 6] == 'I' && head[p + 7] == 'F';
        const bool fits = p + kDensityOffset + 5 <= fileSize;
        return jfif && fits ? p + kDensityOffset : -1;  // the first APP0 decides
    }
    return -1;
}

}  // namespace

bool SetJpegDensity(const std::string& path, int dpi) {
    if (dpi <= 0 || dpi >= 65536) return false;
    std::fstream file(ToFsPath(path), std::ios::in | std::ios::out | std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff fileSize = file.tellg();
    file.seekg(0, std::ios::beg);
    unsigned char head[kHeadBytes] = {};
    file.read(reinterpret_cast<char*>(head), kHeadBytes);
    const long offset = DensityOffset(head, static_cast<long>(file.gcount()), fileSize);
    if (offset < 0) return true;
    const char density[5] = {1, char(dpi >> 8), char(dpi & 0xFF), char(dpi >> 8), char(dpi & 0xFF)};
    file.clear();
    file.seekp(offset);
    file.write(density, sizeof density);
    file.flush();
    return !file.fail();
}
