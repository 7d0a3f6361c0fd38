#include "sheet/save.h"

#include <filesystem>

#include "platform/jpeg.h"
#include "platform/paths.h"
#include "sheet/output_paths.h"

namespace fs = std::filesystem;

const char* const kMsgNoSaveFolder = "保存先フォルダが指定されていません。";
const char* const kMsgCannotCreateFolder = "保存先フォルダを作成出来ません。\n%s";
const char* const kMsgCannotEnterFolder = "保存先フォルダを作成出来ません。";
const char* const kMsgSaveFailed = "保存に失敗しました。";
const char* const kMsgNoFreeIndex =
    "Index_0000.jpg から Index_999999.jpg までの名前が全て使われているため保存しませんでした。\n%s";
const char* const kMsgWouldReplacePhoto =
    "保存先が元の写真と同じファイルになるため保存しませんでした。\n%s";

namespace {

bool IsSeparator(char c) {
    return c == kPathSeparator || c == '/';
}

// Characters, not bytes: UTF-8 continuation bytes do not count.
std::size_t CharacterCount(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Everything before the last separator; a root ("/", "C:\") keeps its
// separator. "" when the path has no folder part.
std::string FolderPart(const std::string& path) {
    std::size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) --i;
    if (i == 0) return {};
    std::string folder = path.substr(0, i - 1);
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += path[i - 1];
    return folder;
}

bool OnePersonPerSheet(const SaveOptions& o) {
    return o.photosPerPerson == o.photoCount;
}

bool WouldReplacePhoto(const std::string& path, const SaveOptions& o) {
    return SameFile(path, o.photoPath);
}

// Encodes into `path` with the density in its header; 0 or kSaveWriteFailed.
int WriteOutput(const std::string& path, const Bitmap& image, const SaveOptions& o) {
    return EncodeJpegFile(path, image, o.quality, nullptr, o.dpi) == 0 ? 0 : kSaveWriteFailed;
}

// Creates the folder with its parents when needed, never making it the
// current folder (that is the whole process's, and other work may be running
// beside): 0, kSaveCannotCreate or kSaveCannotEnter.
int PrepareFolder(const std::string& folder) {
    if (folder.empty()) return 0;
    if (!DirectoryExists(folder) && !MakeFolders(folder)) return kSaveCannotCreate;
    return CanEnterFolder(folder) ? 0 : kSaveCannotEnter;
}

// The silent savers: folder created, the photo protected.
int SaveBesidePhoto(const std::string& folder, const Bitmap& image, const SaveOptions& o,
                    std::string* writtenPath) {
    PrepareFolder(folder);  // a failure shows up as a failed write
    const std::string path = folder + FileNameOf(o.photoPath);
    if (WouldReplacePhoto(path, o)) return kSaveWouldReplacePhoto;
    const int result = WriteOutput(path, image, o);
    if (result == 0 && writtenPath) *writtenPath = path;
    return result;
}

}  // namespace

std::string FormatMessage(const char* format, const std::string& value) {
    std::string text = format;
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

int SaveJpeg(const std::string& path, const Bitmap& image, int quality, IDialogs& dialogs,
             const std::string& caption, int dpi) {
    if (CharacterCount(path) <= 2) {
        dialogs.ShowMessage(kMsgNoSaveFolder, caption);
        return kSaveNoFolder;
    }
    const std::string folder = FolderPart(path);
    const int entered = PrepareFolder(folder);
    if (entered == kSaveCannotCreate) {
        dialogs.ShowMessage(FormatMessage(kMsgCannotCreateFolder, folder), caption);
        return kSaveCannotCreate;
    }
    if (entered == kSaveCannotEnter) {
        dialogs.ShowMessage(kMsgCannotEnterFolder, caption);
        return kSaveCannotEnter;
    }
    if (EncodeJpegFile(path, image, quality, nullptr, dpi) != 0) {
        dialogs.ShowMessage(kMsgSaveFailed, caption);
        return kSaveWriteFailed;
    }
    return 0;
}

int ChooseSheetPath(const SaveOptions& options, std::string& path) {
    const std::string folder = SheetFolder(options.saveFolder, options.photoDir);
    if (!OnePersonPerSheet(options)) return NextIndexSheetPath(folder, path);
    path = folder + FileNameOf(options.photoPath);
    return 0;
}

int SaveSheet(const Bitmap& sheet, const SaveOptions& options, IDialogs& dialogs,
              const std::string& caption, std::string* writtenPath) {
    std::string path;
    if (ChooseSheetPath(options, path) != 0) {
        const std::string folder = SheetFolder(options.saveFolder, options.photoDir);
        dialogs.ShowMessage(FormatMessage(kMsgNoFreeIndex, folder), caption);
        return kSaveNoFreeIndex;
    }
    if (WouldReplacePhoto(path, options)) {
        dialogs.ShowMessage(FormatMessage(kMsgWouldReplacePhoto, path), caption);
        return kSaveWouldReplacePhoto;
    }
    // The density goes in with the encoding: the file is flushed to the disk
    // once, complete, instead of being opened again to patch its header.
    const int result = SaveJpeg(path, sheet, options.quality, dialogs, caption, options.dpi);
    if (result != 0) return result;
    if (writtenPath) *writtenPath = path;
    return 0;
}

int SaveTrimmedPhoto(const Bitmap& photo, const SaveOptions& options, IDialogs* dialogs,
                     const std::string& caption, std::string* writtenPath) {
    const std::string folder = TrimmedFolder(options.saveFolder, options.photoDir);
    const int result = SaveBesidePhoto(folder, photo, options, writtenPath);
    if (result == kSaveWouldReplacePhoto && dialogs) {
        const std::string path = folder + FileNameOf(options.photoPath);
        dialogs->ShowMessage(FormatMessage(kMsgWouldReplacePhoto, path), caption);
    }
    return result;
}

int SaveRecognitionImage(const Bitmap& face, const SaveOptions& options, std::string* writtenPath) {
    const std::string folder = RecognitionFolder(options.saveFolder, options.photoDir);
    return SaveBesidePhoto(folder, face, options, writtenPath);
}

bool OpenOutputFolder(IShell& shell, const std::string& saveFolder, const std::string& photoDir) {
    std::string folder = SheetFolder(saveFolder, photoDir);
    if (saveFolder.empty() && !DirectoryExists(folder)) folder = photoDir;
    return shell.Open(folder);
}
