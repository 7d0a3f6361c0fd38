// The JPEG codec: decoding a 12-megapixel photo and encoding a print sheet.
// The inputs stay in <temp>/kambrix_jpeg_bench (photo.jpg, sheet.ppm) so that
// libjpeg-turbo's own djpeg and cjpeg can be timed on the same files.
#include <benchmark/benchmark.h>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/jpeg.h"

namespace fs = std::filesystem;

namespace {

fs::path BenchFolder() {
    const fs::path folder = fs::temp_directory_path() / "kambrix_jpeg_bench";
    fs::create_directories(folder);
    return folder;
}

// Slow colour waves plus sensor-like noise over the rectangle `area` of `b`.
void PaintPhoto(Bitmap& b, const PixelRect& area, std::uint32_t seed) {
    std::uint32_t state = seed;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            const double u = double(x - area.left) / area.Width();
            const double v = double(y - area.top) / area.Height();
            const int r = int(128 + 90 * std::sin(3.1 * u + 1.3 * v)) + noise;
            const int g = int(120 + 70 * std::cos(2.3 * v - 0.7 * u)) + noise;
            const int bl = int(110 + 60 * std::sin(4.7 * u * v + 0.4)) + noise;
            b.SetPixel(x, y, {std::uint8_t(r), std::uint8_t(g), std::uint8_t(bl)});
        }
}

// A sheet of the default layout: four 378 x 496 photos on white.
Bitmap MakeSheet() {
    Bitmap sheet(1051, 1500, kWhite);
    const int centres[4][2] = {{301, 366}, {750, 366}, {301, 935}, {750, 935}};
    for (int i = 0; i < 4; ++i) {
        const int left = centres[i][0] - 189, top = centres[i][1] - 248;
        PaintPhoto(sheet, {left, top, left + 378, top + 496}, 11u + i);
    }
    return sheet;
}

void WritePpm(const fs::path& path, const Bitmap& b) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << b.Width() << ' ' << b.Height() << "\n255\n";
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const Rgb c = b.Pixel(x, y);
            const char rgb[3] = {char(c.r), char(c.g), char(c.b)};
            out.write(rgb, 3);
        }
}

const std::string& PhotoFile() {
    static const std::string path = [] {
        Bitmap photo(4000, 3000);
        PaintPhoto(photo, {0, 0, 4000, 3000}, 5u);
        const std::string p = (BenchFolder() / "photo.jpg").string();
        EncodeJpegFile(p, photo, 90);
        return p;
    }();
    return path;
}

void BM_JpegDecode(benchmark::State& state) {
    const std::string& path = PhotoFile();
    Bitmap out;
    for (auto _ : state) {
        if (DecodeJpegFile(path, out) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetItemsProcessed(state.iterations() * 4000LL * 3000LL);
}
BENCHMARK(BM_JpegDecode)->Name("Jpeg/Decode")->Unit(benchmark::kMillisecond);

// The floor for Jpeg/Decode: libjpeg-turbo alone decoding the same file,
// already in memory, into one reused buffer in the same pixel order, with
// nothing around it (Jpeg/Decode also reads the file each time).
void BM_JpegDecodeFloor(benchmark::State& state) {
    std::ifstream in(PhotoFile(), std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    std::vector<unsigned char> pixels;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    for (auto _ : state) {
        jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * 3;
        pixels.resize(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            for (std::size_t i = 0; i < 16; ++i)
                rows[i] = pixels.data() + std::min<std::size_t>(cinfo.output_scanline + i,
                                                                cinfo.output_height - 1) *
                                              stride;
            jpeg_read_scanlines(&cinfo, rows, 16);
        }
        jpeg_finish_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
    jpeg_destroy_decompress(&cinfo);
    state.SetItemsProcessed(state.iterations() * 4000LL * 3000LL);
}
BENCHMARK(BM_JpegDecodeFloor)->Name("Jpeg/DecodeFloor")->Unit(benchmark::kMillisecond);

void BM_JpegEncodeSheet(benchmark::State& state) {
    const Bitmap sheet = MakeSheet();
    const fs::path folder = BenchFolder();
    WritePpm(folder / "sheet.ppm", sheet);
    const std::string target = (folder / "sheet.jpg").string();
    for (auto _ : state)
        if (EncodeJpegFile(target, sheet, 90) != 0) state.SkipWithError("encode failed");
    state.SetItemsProcessed(state.iterations() * 1051LL * 1500LL);
}
BENCHMARK(BM_JpegEncodeSheet)->Name("Jpeg/EncodeSheet")->Unit(benchmark::kMillisecond);

}  // namespace
