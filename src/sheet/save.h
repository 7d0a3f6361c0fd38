#pragma once
// Writing the image outputs: print sheets, trimmed photos and recognised
// faces, each a baseline JPEG whose JFIF header then carries the print
// resolution. The window reads its controls into SaveOptions and calls these.
#include <string>

#include "platform/bitmap.h"
#include "platform/host.h"

struct SaveOptions {
    std::string saveFolder;   // the save-folder field's text; "" = beside the photo
    std::string photoDir;     // the current photo's folder
    std::string photoPath;    // the current photo's full path (its name names the outputs)
    int quality = 90;         // JPEG quality 0..100
    int dpi = 300;            // print resolution written into every output
    int photoCount = 1;       // places on the sheet
    int photosPerPerson = 1;  // places one photo fills; equal to photoCount = one person per sheet
};

// Results of the savers.
constexpr int kSaveNoFolder = -1;           // path of two characters or fewer
constexpr int kSaveCannotCreate = -2;       // the folder cannot be created
constexpr int kSaveCannotEnter = -3;        // the folder exists but cannot be entered
constexpr int kSaveWriteFailed = -4;        // encoding or writing failed
constexpr int kSaveNoFreeIndex = -5;        // every numbered sheet name is taken
constexpr int kSaveWouldReplacePhoto = -6;  // the output would replace the photo itself

// Message texts (%s: the folder or the file concerned).
extern const char* const kMsgNoSaveFolder;  // "保存先フォルダが指定されていません。"
extern const char* const kMsgCannotCreateFolder;  // "保存先フォルダを作成出来ません。\n%s"
extern const char* const kMsgCannotEnterFolder;  // "保存先フォルダを作成出来ません。"
extern const char* const kMsgSaveFailed;         // "保存に失敗しました。"
extern const char* const kMsgNoFreeIndex;        // every Index_ number taken, %s = folder
extern const char* const kMsgWouldReplacePhoto;  // output = the photo itself, %s = path
// `format` with its one %s replaced by `value`.
std::string FormatMessage(const char* format, const std::string& value);

// Writes `image` as a JPEG at `path`, creating its folder when needed, with
// `dpi` as its print density when that is in 1..65535 (the bytes
// SetJpegDensity would patch in). The current folder is left alone. 0 or
// kSaveNoFolder .. kSaveWriteFailed, each failure shown through `dialogs`
// with `caption`.
int SaveJpeg(const std::string& path, const Bitmap& image, int quality, IDialogs& dialogs,
             const std::string& caption, int dpi = 0);

// Writes dpi as the JFIF density (dots per inch, X and Y) into the first APP0
// segment of the file when that segment is a JFIF one within the first 200
// bytes. False when dpi is outside 1..65535, the file cannot be opened or
// written, or its first APP0 is a JFIF one too short to hold the density (its
// length field below 16: the bytes there belong to the next segment); true
// otherwise, also when the file was left as it was.
bool SetJpegDensity(const std::string& path, int dpi);

// Where the sheet goes: the photo's name in the sheet folder for a one-person
// sheet, else the first free "Index_%04d.jpg" there. 0 or kSaveNoFreeIndex.
int ChooseSheetPath(const SaveOptions& options, std::string& path);

// Saves a finished sheet: name, SaveJpeg, density. 0 with `writtenPath` set, or
// a negative result whose message has been shown (the window then keeps the
// sheet in memory). Never replaces the photo itself.
int SaveSheet(const Bitmap& sheet, const SaveOptions& options, IDialogs& dialogs,
              const std::string& caption, std::string* writtenPath = nullptr);

// Saves one place's photo in the trimmed-photo folder under the photo's name.
// Failures are silent: only the result tells. When `dialogs` is given, the
// refusal to replace the photo itself is shown (with `caption`).
int SaveTrimmedPhoto(const Bitmap& photo, const SaveOptions& options, IDialogs* dialogs = nullptr,
                     const std::string& caption = {}, std::string* writtenPath = nullptr);

// Saves a recognised face in the recognition-image folder under the photo's
// name. 0, or a negative result and nothing
// shown: the caller reports the failure.
int SaveRecognitionImage(const Bitmap& face, const SaveOptions& options,
                         std::string* writtenPath = nullptr);

// Opens the folder the sheets went to: the save folder when set; else the
// sheet folder below the photo's folder when it exists; else the photo's folder.
bool OpenOutputFolder(IShell& shell, const std::string& saveFolder, const std::string& photoDir);
