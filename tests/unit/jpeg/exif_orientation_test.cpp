#include "platform/exif_orientation.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/exif_jpeg.h"

namespace {

const Bitmap kSmall(16, 8, {10, 20, 30});

TEST(ExifOrientation, ReadInBothByteOrders) {
    for (int value = 1; value <= 8; ++value)
        for (bool bigEndian : {false, true}) {
            const auto jpeg = JpegWithSegment(kSmall, ExifSegment(value, bigEndian));
            EXPECT_EQ(JpegExifOrientation(jpeg.data(), jpeg.size()), value)
                << value << (bigEndian ? " MM" : " II");
        }
}

TEST(ExifOrientation, FoundBehindOtherSegments) {
    // An XMP APP1 first, as some editors write it, then the Exif one.
    std::vector<std::uint8_t> xmp{0xFF, 0xE1, 0x00, 0x0C, 'h', 't', 't',
                                  'p',  ':',  '/',  '/',  'n', 's', '.'};
    std::vector<std::uint8_t> both = xmp;
    const auto exif = ExifSegment(8);
    both.insert(both.end(), exif.begin(), exif.end());
    const auto jpeg = JpegWithSegment(kSmall, both);
    EXPECT_EQ(JpegExifOrientation(jpeg.data(), jpeg.size()), 8);
}

// Hostile or damaged headers give "as stored" and read nothing out of bounds
// (the sanitizer build checks the latter).
struct BrokenCase {
    const char* what;
    std::size_t at;  // offset inside the segment (from its 0xFF) to overwrite
    std::vector<std::uint8_t> bytes;
    std::size_t keep;  // bytes of the file kept; 0 = all
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.what;
}

class ExifBroken : public testing::TestWithParam<BrokenCase> {};

TEST_P(ExifBroken, GivesAsStored) {
    const BrokenCase& c = GetParam();
    auto jpeg = JpegWithSegment(kSmall, ExifSegment(6));
    for (std::size_t i = 0; i < c.bytes.size(); ++i) jpeg[2 + c.at + i] = c.bytes[i];
    if (c.keep) jpeg.resize(c.keep);
    EXPECT_EQ(JpegExifOrientation(jpeg.data(), jpeg.size()), 1);
}

// Segment layout: FF E1, length (2), "Exif\0\0" (6), then the TIFF header at 10:
// byte order (2), 42 (2), IFD offset (4), entry count at 18, the entry at 20
// (tag, type, count, value at 28).
INSTANTIATE_TEST_SUITE_P(
    Table, ExifBroken,
    testing::Values(
        BrokenCase{"value out of range", 28, {9, 0}, 0}, BrokenCase{"value zero", 28, {0, 0}, 0},
        BrokenCase{"wrong type", 22, {4, 0}, 0}, BrokenCase{"zero count", 24, {0, 0, 0, 0}, 0},
        BrokenCase{"IFD offset past the segment", 14, {0xF0, 0xFF, 0xFF, 0x7F}, 0},
        BrokenCase{"no entries", 18, {0, 0}, 0},
        BrokenCase{"unknown byte order", 10, {'X', 'X'}, 0}, BrokenCase{"not 42", 12, {43, 0}, 0},
        BrokenCase{"segment length past the file", 2, {0xFF, 0xF0}, 0},
        BrokenCase{"segment length below two", 2, {0x00, 0x01}, 0},
        BrokenCase{"not Exif", 4, {'E', 'x', 'i', 'x'}, 0},
        BrokenCase{"file cut inside the segment", 0, {}, 20},
        BrokenCase{"file cut inside the entry", 0, {}, 32}));

TEST(ExifOrientation, NothingBeforeTheScanMeansAsStored) {
    std::vector<std::uint8_t> plain;
    ASSERT_EQ(EncodeJpegMemory(kSmall, 90, plain), 0);
    EXPECT_EQ(JpegExifOrientation(plain.data(), plain.size()), 1);
    const std::uint8_t notJpeg[] = {'G', 'I', 'F', '8', '9', 'a'};
    EXPECT_EQ(JpegExifOrientation(notJpeg, sizeof notJpeg), 1);
    EXPECT_EQ(JpegExifOrientation(nullptr, 0), 1);
    EXPECT_EQ(ReadJpegExifOrientation("/nonexistent/photo.jpg"), 1);
}

}  // namespace
