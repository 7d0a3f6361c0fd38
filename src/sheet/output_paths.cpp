#include "sheet/output_paths.h"

#include <cstdio>
#include <filesystem>

#include "platform/paths.h"
#include "platform/text_format.h"

namespace fs = std::filesystem;

namespace {

const char* const kSheetSubfolder = "写真シート";
const char* const kTrimmedSubfolder = "トリミング画像";
const char* const kRecognitionSubfolder = "認識画像";

// The folder the outputs hang from: the save folder when set, else photoDir.
// A relative one is taken from the current folder, once and for all.
std::string BaseFolder(const std::string& saveFolder, const std::string& photoDir) {
    return WithTrailingSeparator(AnchoredPath(saveFolder.empty() ? photoDir : saveFolder));
}

fs::path Normalised(const fs::path& p) {
    std::error_code ec;
    const fs::path whole = fs::absolute(p, ec);
    return (ec ? p : whole).lexically_normal();
}

std::string Below(const std::string& base, const char* subfolder) {
    return base + subfolder + kPathSeparator;
}

}  // namespace

std::string SheetFolder(const std::string& saveFolder, const std::string& photoDir) {
    if (!saveFolder.empty()) return BaseFolder(saveFolder, photoDir);
    return Below(BaseFolder(saveFolder, photoDir), kSheetSubfolder);
}

std::string TrimmedFolder(const std::string& saveFolder, const std::string& photoDir) {
    return Below(BaseFolder(saveFolder, photoDir), kTrimmedSubfolder);
}

std::string RecognitionFolder(const std::string& saveFolder, const std::string& photoDir) {
    return Below(BaseFolder(saveFolder, photoDir), kRecognitionSubfolder);
}

std::string LogFolder(const std::string& saveFolder, const std::string& photoDir) {
    return BaseFolder(saveFolder, photoDir);
}

std::string IndexSheetName(int number) {
    return FormatText("Index_%04d.jpg", number);
}

bool PathTaken(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(ToFsPath(path), ec));
}

int NextIndexSheetPath(const std::string& folder, std::string& path, const PathTakenFn& taken,
                       int maxNumber) {
    const std::string base = WithTrailingSeparator(folder);
    for (int n = 0; n <= maxNumber; ++n) {
        std::string candidate = base + IndexSheetName(n);
        if (!taken(candidate)) {
            path = std::move(candidate);
            return 0;
        }
    }
    return -5;
}

bool SheetExists(const std::string& saveFolder, const std::string& photoDir,
                 const std::string& photo) {
    // With the save folder being the photos' folder, the "sheet" found is the
    // photo itself: that photo has no sheet yet and must not be passed over.
    const std::string sheet = SheetFolder(saveFolder, photoDir) + FileNameOf(photo);
    return PathTaken(sheet) && !SameFile(sheet, photo);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    const fs::path pa = ToFsPath(a), pb = ToFsPath(b);
    std::error_code ec;
    if (fs::exists(pa, ec) && fs::exists(pb, ec)) {
        const bool same = fs::equivalent(pa, pb, ec);
        if (!ec) return same;
    }
    return Normalised(pa) == Normalised(pb);
}
