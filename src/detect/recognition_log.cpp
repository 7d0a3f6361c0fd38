#include "detect/recognition_log.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include "platform/cp932.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"
#include "sheet/save.h"

const char* const kRecognitionLogName = "自動認識エラーログ.txt";
const char* const kPositiveListName = "positive.txt";

namespace {

const char* const kLogRule = "--------------------------------";

// Appends (or writes anew) one CP932 line ending in CR LF; false when the
// file does not open or the write fails.
bool WriteCp932Line(const std::string& path, const std::string& utf8, bool truncate) {
    std::ofstream out(ToFsPath(path),
                      std::ios::binary | (truncate ? std::ios::trunc : std::ios::app));
    if (!out) return false;
    const std::string line = Utf8ToCp932(utf8) + "\r\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    return static_cast<bool>(out);
}

}  // namespace

std::string RecognitionTimestamp(const std::tm& t) {
    return FormatText("%04d/%02d/%02d %d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                      t.tm_hour, t.tm_min, t.tm_sec);
}

std::string RecognitionTimestampNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return RecognitionTimestamp(local);
}

int AppendRecognitionLog(const std::string& folder, const std::string& text, bool truncate) {
    // Without a folder the name would land in whatever folder is current.
    if (folder.empty()) return -2;
    if (!DirectoryExists(folder) && !MakeFolders(folder)) return -2;
    WriteCp932Line(WithTrailingSeparator(folder) + kRecognitionLogName, text, truncate);
    return 0;
}

std::string RecognitionLogLine(const std::string& timestamp, const std::string& marker,
                               const std::string& photoPath) {
    return timestamp + marker + photoPath;
}

std::string RecognitionLogSeparator(const std::string& timestamp) {
    return std::string(kLogRule) + "( " + timestamp + " )" + kLogRule;
}

bool MarkRunInRecognitionLog(const std::string& folder) {
    if (folder.empty() || !FileExists(WithTrailingSeparator(folder) + kRecognitionLogName))
        return false;
    return AppendRecognitionLog(folder, RecognitionLogSeparator(RecognitionTimestampNow())) == 0;
}

std::string PositiveLine(const std::string& fileName, int width, int height) {
    return "positive/" + fileName + FormatText(" 1 %d %d %d %d", 0, 0, width, height);
}

int SaveRecognisedFace(const Bitmap& face, const std::string& folder, const std::string& photoPath,
                       int quality, int dpi, std::string* writtenPath) {
    const std::string dir = WithTrailingSeparator(folder);
    MakeFolders(dir);  // a failure shows up as a failed write
    const std::string name = FileNameOf(photoPath);
    const std::string path = dir + name;
    if (SameFile(path, photoPath)) return -12;
    // The density goes in as the file is written; a density the header
    // cannot hold is still a failed save, as it always was.
    const bool densityFits = dpi > 0 && dpi < 65536;
    if (EncodeJpegFile(path, face, quality, nullptr, densityFits ? dpi : 0) != 0) return -12;
    if (!densityFits) return -12;
    if (writtenPath) *writtenPath = path;
    WriteCp932Line(dir + kPositiveListName, PositiveLine(name, face.Width(), face.Height()), false);
    return 0;
}
