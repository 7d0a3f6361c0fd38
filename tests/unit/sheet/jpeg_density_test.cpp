#include <gtest/gtest.h>

#include "platform/jpeg.h"
#include "sheet/save.h"
#include "support/temp_folder.h"
#include "unit/jpeg/jpeg_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string WriteBytes(const TempFolder& t, const Bytes& bytes) {
    return t.Write("d.jpg", std::string(bytes.begin(), bytes.end()));
}

Bytes Patched(Bytes bytes, std::size_t at, int dpi) {
    const std::uint8_t d[5] = {1, std::uint8_t(dpi >> 8), std::uint8_t(dpi), std::uint8_t(dpi >> 8),
                               std::uint8_t(dpi)};
    std::copy(d, d + 5, bytes.begin() + at);
    return bytes;
}

Bytes EncoderOutput() {
    Bytes bytes;
    EXPECT_EQ(EncodeJpegMemory(PhotoLike(32, 24), 90, bytes), 0);
    return bytes;
}

class DensityValue : public testing::TestWithParam<int> {};

TEST_P(DensityValue, WrittenBigEndianAtOffset13OfAStandardFile) {
    TempFolder t;
    const Bytes original = EncoderOutput();
    const std::string path = WriteBytes(t, original);
    EXPECT_TRUE(SetJpegDensity(path, GetParam()));
    EXPECT_EQ(ReadBytes(path), Patched(original, 13, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Sheet, DensityValue, testing::Values(1, 72, 255, 256, 300, 65535));

// The savers give the encoder the density instead of patching the file
// afterwards: the bytes must be those of the patch, and out-of-range values
// must leave the encoder's own header as the refused patch leaves it.
class DensityAtEncoding : public testing::TestWithParam<int> {};

TEST_P(DensityAtEncoding, SameBytesAsThePatchedFile) {
    TempFolder t;
    const std::string path = WriteBytes(t, EncoderOutput());
    SetJpegDensity(path, GetParam());
    Bytes encoded;
    ASSERT_EQ(EncodeJpegMemory(PhotoLike(32, 24), 90, encoded, nullptr, GetParam()), 0);
    EXPECT_EQ(encoded, ReadBytes(path));
    const std::string written = (t.Path() / "e.jpg").string();
    ASSERT_EQ(EncodeJpegFile(written, PhotoLike(32, 24), 90, nullptr, GetParam()), 0);
    EXPECT_EQ(ReadBytes(written), encoded);
}

INSTANTIATE_TEST_SUITE_P(Sheet, DensityAtEncoding,
                         testing::Values(1, 72, 256, 300, 65535, 0, -1, 65536, 70000));

TEST(JpegDensity, ThreeHundredDpiBytes) {
    TempFolder t;
    const std::string path = WriteBytes(t, EncoderOutput());
    ASSERT_TRUE(SetJpegDensity(path, 300));
    const Bytes b = ReadBytes(path);
    EXPECT_EQ(Bytes(b.begin() + 13, b.begin() + 18), (Bytes{0x01, 0x01, 0x2C, 0x01, 0x2C}));
}

class DensityOutOfRange : public testing::TestWithParam<int> {};

TEST_P(DensityOutOfRange, RefusedAndTheFileUntouched) {
    TempFolder t;
    const Bytes original = EncoderOutput();
    const std::string path = WriteBytes(t, original);
    EXPECT_FALSE(SetJpegDensity(path, GetParam()));
    EXPECT_EQ(ReadBytes(path), original);
}

INSTANTIATE_TEST_SUITE_P(Sheet, DensityOutOfRange, testing::Values(0, -1, 65536, 70000));

TEST(JpegDensity, MissingFileIsAFailure) {
    TempFolder t;
    EXPECT_FALSE(SetJpegDensity((t.Path() / "none.jpg").string(), 300));
}

// Hand-made heads: where the density lands, or -1 when the file stays as it is.
struct Head {
    const char* what;
    Bytes bytes;
    int patchedAt;
};

Bytes Jfif(Bytes before = {0xFF, 0xD8}, std::size_t length = 20) {
    const Bytes app0 = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    Bytes b = before;
    b.insert(b.end(), app0.begin(), app0.end());
    b.resize(std::max(length, b.size()), 0);
    b.resize(length);
    return b;
}

Bytes Padded(std::size_t app0At, std::size_t length) {
    Bytes before(app0At, 0x00);
    before[0] = 0xFF;
    before[1] = 0xD8;
    return Jfif(before, length);
}

Bytes JfxxThenJfif() {
    Bytes b = Jfif({0xFF, 0xD8}, 20);
    b[8] = 'X';
    b[9] = 'X';
    const Bytes second = Jfif({}, 18);
    b.insert(b.end(), second.begin(), second.end());
    return b;
}

class DensityHeads : public testing::TestWithParam<Head> {};

TEST_P(DensityHeads, PatchOnlyTheFirstJfifApp0WithinTheHead) {
    TempFolder t;
    const Bytes& original = GetParam().bytes;
    const std::string path = WriteBytes(t, original);
    EXPECT_TRUE(SetJpegDensity(path, 300));
    const int at = GetParam().patchedAt;
    EXPECT_EQ(ReadBytes(path), at < 0 ? original : Patched(original, at, 300));
}

INSTANTIATE_TEST_SUITE_P(
    Sheet, DensityHeads,
    testing::Values(Head{"app0 after another segment",
                         Jfif({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x06, 1, 2, 3, 4}, 40), 10 + 11},
                    Head{"first app0 not jfif", JfxxThenJfif(), -1},
                    Head{"no start of image", Jfif({0xFF, 0xD9}), -1},
                    Head{"app0 at 192", Padded(192, 300), 203},
                    Head{"jfif letters beyond the 200 bytes read", Padded(193, 300), -1},
                    Head{"short file holding the density", Jfif({0xFF, 0xD8}, 18), 13},
                    Head{"short file cut inside the density", Jfif({0xFF, 0xD8}, 17), -1},
                    Head{"cut inside the identifier", Jfif({0xFF, 0xD8}, 8), -1},
                    Head{"only the start of image", Bytes{0xFF, 0xD8}, -1},
                    Head{"empty file", Bytes{}, -1}),
    [](const testing::TestParamInfo<Head>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

}  // namespace

namespace {

// A first APP0 "JFIF" whose length field says `length`, followed by another segment.
Bytes ShortJfif(int length) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, std::uint8_t(length), 'J', 'F', 'I', 'F', 0};
    b.resize(2 + 2 + std::size_t(length), 0);
    const Bytes next = {0xFF, 0xDB, 0x00, 0x43, 0x00};
    b.insert(b.end(), next.begin(), next.end());
    b.resize(b.size() + 200, 0x11);
    return b;
}

class ShortJfifLength : public testing::TestWithParam<int> {};

TEST_P(ShortJfifLength, PatchedOnlyWhenTheSegmentHoldsTheDensity) {
    TempFolder t;
    const Bytes original = ShortJfif(GetParam());
    const std::string path = WriteBytes(t, original);
    const bool holds = GetParam() >= 16;
    EXPECT_EQ(SetJpegDensity(path, 300), holds);
    EXPECT_EQ(ReadBytes(path), holds ? Patched(original, 13, 300) : original);
}

INSTANTIATE_TEST_SUITE_P(Sheet, ShortJfifLength, testing::Values(7, 14, 15, 16, 17));

TEST(JpegDensity, ShortJfifSegmentOfARealFileIsLeftDecodable) {
    TempFolder t;
    const Bytes original = ReadBytes(DataFile("jpeg_jfif_app0_length_7.jpg"));
    const std::string path = WriteBytes(t, original);
    EXPECT_FALSE(SetJpegDensity(path, 300));
    const Bytes after = ReadBytes(path);
    EXPECT_EQ(after, original);
    Bitmap b;
    EXPECT_EQ(DecodeJpegMemory(after.data(), after.size(), b), 0);
}

}  // namespace
