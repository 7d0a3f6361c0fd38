#pragma once
// What the fuzz targets share: a check that ends the run with a message (a
// finding), a scratch file per process, and a look at a JPEG's announced size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A file of this process under the temporary folder; `name` tells the targets apart.
inline std::string ScratchPath(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kambrix_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::string ReadScratch(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The width x height the first frame header announces, as the decoder reads
// it; 0 when there is none or the header does not read. The targets skip big
// pictures: each run must take milliseconds, and the size limits themselves
// are tested with files made for them.
long long JpegAnnouncedPixels(const std::uint8_t* data, std::size_t size);
constexpr long long kFuzzMaxPixels = 1 << 20;
