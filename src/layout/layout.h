#pragma once
// The layout of one print sheet: paper, up to 400 photo places, the face-to-
// head extensions; all lengths are sheet pixels at the layout's dpi.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxPhotoSlots = 400;
// The largest paper side, place side or caption font height a layout may give.
constexpr int kMaxLayoutPixels = 20000;

struct TPaperInfo {
    std::int32_t dpi = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t photo_ct = 0;
    std::int32_t photo_ct_per_person = 0;
    std::int32_t fontsize = 0;
    std::string font;         // UTF-8
    std::string text;         // caption mode: "FILENAMELIST", "FILENAME", anything else none
    std::string bg_img_name;  // relative to the program folder; "" = none
};

struct TPhotoSlot {
    std::int32_t width = 0, height = 0;      // printed size with bleed
    std::int32_t widthIn = 0, heightIn = 0;  // cut size, centred inside
    std::int32_t cx = 0, cy = 0;             // centre on the sheet
    std::int32_t hny = 0, bny = 0;           // above the head top / below the chin
    float r = 0.0f;                          // rotation in degrees
};

struct TLayout {
    TPaperInfo paper;
    std::array<TPhotoSlot, kMaxPhotoSlots> slots{};
    int haarTop = 0;
    int haarBottom = 0;
};

// The crop-frame limits derived from the places in use.
struct FrameLimits {
    int baseW = 0, baseH = 0;  // smallest frame (largest place width / height)
    int maxW = 0, maxH = 0;    // 5 x the above
    int aspectW = 0, aspectH = 0;
    friend bool operator==(const FrameLimits&, const FrameLimits&) = default;
};

// The built-in L-size sheet with four 30 x 40 mm photos.
TLayout DefaultLayout();
FrameLimits UpdateFrameLimits(const TLayout& layout);

// Reads the layout file at `path` (UTF-8 path) into `layout`. False with the
// layout unchanged for an empty path or a missing file; otherwise every key is
// assigned (defaults for the missing ones) and the result is false when the
// paper width, height or photo count is zero or negative, the values read
// staying in effect. A file that is not an INI file at all (empty, only a
// byte-order mark, binary with NUL bytes) gives false with the layout unchanged,
// and so does a layout whose paper, font or a place in use is larger than
// kMaxLayoutPixels or whose place in use is wider or taller than its paper.
bool LoadLayoutFile(const std::string& path, TLayout& layout);

// Appends the layout files of the program folder to `paths` (full paths,
// sorted case-insensitively, names containing "Kambrix.ini" skipped) and
// returns how many it added.
int ListLayoutFiles(const std::string& appDir, std::vector<std::string>& paths);
// The file name without folder and extension, as the layout list shows it.
std::string LayoutDisplayName(const std::string& path);
// The layout file dialog's test: the file name ends in ".ini", exactly in
// lower case ("X.INI" is refused).
bool IsLayoutFileName(const std::string& path);
