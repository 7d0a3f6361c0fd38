#pragma once
// Where the outputs go and what they are called. Pure functions of the
// save-folder field's text and the photo's folder: with the field empty the
// outputs go below the photo's folder, otherwise below the field's folder.
// Every folder returned ends with the separator; a save folder typed without
// one is still taken as a folder.
#include <functional>
#include <string>

// The print sheets: the save folder itself, or photoDir + "写真シート".
std::string SheetFolder(const std::string& saveFolder, const std::string& photoDir);
// The trimmed photos: "トリミング画像" in the save folder or in photoDir.
std::string TrimmedFolder(const std::string& saveFolder, const std::string& photoDir);
// The recognised faces: "認識画像" in the save folder or in photoDir.
std::string RecognitionFolder(const std::string& saveFolder, const std::string& photoDir);
// The recognition error log: the save folder itself, or photoDir.
std::string LogFolder(const std::string& saveFolder, const std::string& photoDir);

// Numbered sheets: "Index_" + at least four digits + ".jpg".
constexpr int kMaxSheetIndex = 999999;
std::string IndexSheetName(int number);
// Whether something already exists under a path (injectable for tests).
using PathTakenFn = std::function<bool(const std::string& path)>;
bool PathTaken(const std::string& path);
// The smallest number 0..maxNumber whose numbered sheet is not in `folder`:
// 0 with `path` set, or -5 when every number is taken (nothing is chosen).
int NextIndexSheetPath(const std::string& folder, std::string& path,
                       const PathTakenFn& taken = PathTaken, int maxNumber = kMaxSheetIndex);

// The sheet a one-person layout writes for the photo exists already (the
// batch run skips such photos when asked to). `photo` may be a path or a name;
// a sheet path that is the photo itself does not count.
bool SheetExists(const std::string& saveFolder, const std::string& photoDir,
                 const std::string& photo);

// True when the two paths name the same file: the same file system object when
// both exist (links and aliases included), else the same normalised path.
bool SameFile(const std::string& a, const std::string& b);
