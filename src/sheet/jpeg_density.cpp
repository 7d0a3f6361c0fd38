// The print resolution in a JPEG file's JFIF header, patched in place.
#include <fstream>

#include "platform/paths.h"
#include "sheet/save.h"

namespace {

constexpr std::streamoff kHeadBytes = 200;
constexpr int kLastMarkerPos = 193;
constexpr int kDensityOffset = 11;  // from the APP0 marker to the density unit
// A JFIF APP0 holds the identifier, version, unit, densities and thumbnail
// size: 16 bytes counting its length field. A shorter one ends before the
// density, and writing there would overwrite the next segment.
constexpr int kMinJfifLength = 16;

constexpr long kLeaveAlone = -1;
constexpr long kTooShort = -2;

// Where the density unit of the first APP0 segment lies when that segment is
// a JFIF one holding the density and the five density bytes lie inside the
// file; kTooShort for a JFIF APP0 whose length leaves the density out;
// kLeaveAlone otherwise. Only the `n` bytes read are looked at.
long DensityOffset(const unsigned char* head, long n, std::streamoff fileSize) {
    if (n < 2 || head[0] != 0xFF || head[1] != 0xD8) return kLeaveAlone;
    for (long p = 0; p <= kLastMarkerPos && p + 1 < n; ++p) {
        if (head[p] != 0xFF || head[p + 1] != 0xE0) continue;
        const bool jfif = p + 7 < n && head[p + 4] == 'J' && head[p + 5] == 'F' &&
                          head[p + 6] == 'I' && head[p + 7] == 'F';
        if (!jfif) return kLeaveAlone;  // the first APP0 decides
        const int length = (head[p + 2] << 8) | head[p + 3];
        if (length < kMinJfifLength) return kTooShort;
        const bool fits = p + kDensityOffset + 5 <= fileSize;
        return fits ? p + kDensityOffset : kLeaveAlone;
    }
    return kLeaveAlone;
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
    if (offset == kTooShort) return false;
    if (offset < 0) return true;
    const char density[5] = {1, char(dpi >> 8), char(dpi & 0xFF), char(dpi >> 8), char(dpi & 0xFF)};
    file.clear();
    file.seekp(offset);
    file.write(density, sizeof density);
    file.flush();
    return !file.fail();
}
