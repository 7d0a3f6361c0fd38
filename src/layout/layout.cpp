#include "layout/layout.h"

#include <algorithm>

#include "platform/ini.h"
#include "platform/paths.h"

namespace {

constexpr const char* kDefaultFont = "ＭＳ ゴシック";
constexpr const char* kReservedName = "Kambrix.ini";

void ReadPaper(const IniFile& ini, TLayout& layout) {
    // Key by key in this order: photo_ct_per_person defaults to photo_ct as read.
    TPaperInfo& p = layout.paper;
    p.dpi = ini.GetInt("Paper", "dpi", 300);
    p.width = ini.GetInt("Paper", "width", 0);
    p.height = ini.GetInt("Paper", "height", 0);
    p.photo_ct = ini.GetInt("Paper", "photo_ct", 0);
    p.text = ini.GetString("Paper", "text", "");
    p.photo_ct_per_person = ini.GetInt("Paper", "photo_ct_per_person", p.photo_ct);
    p.fontsize = ini.GetInt("Paper", "fontsize", 40);
    p.font = ini.GetString("Paper", "font", kDefaultFont);
    p.bg_img_name = ini.GetString("Paper", "bg_img_name", "");
    layout.haarTop = ini.GetInt("Paper", "haar_top", 30);
    layout.haarBottom = ini.GetInt("Paper", "haar_bottom", 7);
}

TPhotoSlot ReadSlot(const IniFile& ini, int index) {
    const std::string section = "Layout" + std::to_string(index);
    TPhotoSlot s;
    s.width = ini.GetInt(section, "width", 0);
    s.height = ini.GetInt(section, "height", 0);
    s.widthIn = ini.GetInt(section, "widthIn", 0);
    s.heightIn = ini.GetInt(section, "heightIn", 0);
    s.cx = ini.GetInt(section, "cx", 0);
    s.cy = ini.GetInt(section, "cy", 0);
    s.hny = ini.GetInt(section, "hny", 0);
    s.bny = ini.GetInt(section, "bny", 0);
    s.r = static_cast<float>(ini.GetFloat(section, "r"));
    return s;
}

// The places in use: 0 .. photo_ct-1, none for a zero or negative count.
int SlotsInUse(const TPaperInfo& paper) {
    return std::clamp(paper.photo_ct, 0, kMaxPhotoSlots);
}

// Every bitmap of the program is sized from a photo or from these lengths:
// the sheet from the paper, the crop frame and its overlay from the largest
// place. A place larger than its paper cannot be printed, and sizes beyond
// this are not a sheet any printer takes; such a file is refused whole.
bool SizesArePlausible(const TLayout& layout) {
    const TPaperInfo& p = layout.paper;
    if (p.width > kMaxLayoutPixels || p.height > kMaxLayoutPixels) return false;
    if (p.fontsize > kMaxLayoutPixels) return false;
    for (int i = 0; i < SlotsInUse(p); ++i) {
        const TPhotoSlot& s = layout.slots[i];
        if (s.width > kMaxLayoutPixels || s.height > kMaxLayoutPixels) return false;
        // A paper of no size fails anyway; its places have nothing to fit in.
        if (p.width > 0 && s.width > p.width) return false;
        if (p.height > 0 && s.height > p.height) return false;
    }
    return true;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(const std::string& s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Case-insensitive order; names equal but for case keep a fixed order.
bool LessNoCase(const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

TLayout DefaultLayout() {
    TLayout layout;
    layout.paper = TPaperInfo{300, 1051, 1500, 4, 4, 40, kDefaultFont, "", ""};
    layout.haarTop = 30;
    layout.haarBottom = 7;
    const int centres[4][2] = {{301, 366}, {750, 366}, {301, 935}, {750, 935}};
    for (int i = 0; i < 4; ++i)
        layout.slots[i] =
            TPhotoSlot{378, 496, 354, 472, centres[i][0], centres[i][1], 59, 118, 0.0f};
    return layout;
}

FrameLimits UpdateFrameLimits(const TLayout& layout) {
    int maxW = 0, maxH = 0;
    for (int i = 0; i < SlotsInUse(layout.paper); ++i) {
        maxW = std::max(maxW, layout.slots[i].width);
        maxH = std::max(maxH, layout.slots[i].height);
    }
    // Five times an absurd place size would overflow; such a maximum is capped.
    const int cap = 0x7FFFFFFF / 5;
    return FrameLimits{maxW, maxH, std::min(maxW, cap) * 5, std::min(maxH, cap) * 5, maxW, maxH};
}

bool LoadLayoutFile(const std::string& path, TLayout& layout) {
    if (path.empty() || !FileExists(path)) return false;
    IniFile ini;
    if (!ini.Load(path)) return false;  // not a layout at all: keep the current one
    TLayout read = layout;              // places beyond the count keep what they held
    ReadPaper(ini, read);
    if (read.paper.photo_ct > kMaxPhotoSlots) read.paper.photo_ct = kMaxPhotoSlots;
    for (int i = 0; i < SlotsInUse(read.paper); ++i) read.slots[i] = ReadSlot(ini, i);
    if (!SizesArePlausible(read)) return false;
    layout = std::move(read);
    const TPaperInfo& p = layout.paper;
    return p.width > 0 && p.height > 0 && p.photo_ct > 0;
}

int ListLayoutFiles(const std::string& appDir, std::vector<std::string>& paths) {
    if (appDir.empty()) return 0;
    const std::string prefix = WithTrailingSeparator(appDir);
    std::vector<std::string> found;
    for (const FolderEntry& e : ListFolder(appDir)) {
        // "*.ini" matches as the Windows file search does: without regard to case.
        if (e.isDirectory || !EndsWithNoCase(e.name, ".ini")) continue;
        if (e.name.find(kReservedName) != std::string::npos) continue;
        found.push_back(prefix + e.name);
    }
    std::sort(found.begin(), found.end(), LessNoCase);
    paths.insert(paths.end(), found.begin(), found.end());
    return static_cast<int>(found.size());
}

std::string LayoutDisplayName(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsLayoutFileName(const std::string& path) {
    const std::string name = FileNameOf(path);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".ini") == 0;
}
