#include "app/command_line.h"

#include <QPoint>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/form1.h"
#include "imaging/folder_scan.h"
#include "platform/paths.h"

namespace {

std::string FromStart(const std::string& path, const std::string& startFolder) {
    if (path.empty() || ToFsPath(path).is_absolute()) return path;
    return WithTrailingSeparator(startFolder) + path;
}

bool Readable(const std::string& path) {
    if (!IsRegularFile(path)) return false;
    std::ifstream in(ToFsPath(path), std::ios::binary);
    return in.good() && in.peek() != std::ifstream::traits_type::eof();
}

}  // namespace

StartupOpen ChooseStartupPath(const std::vector<std::string>& args,
                              const std::string& startFolder) {
    StartupOpen fallback;
    for (const std::string& arg : args) {
        const std::string path = FromStart(arg, startFolder);
        if (path.empty()) continue;
        if (DirectoryExists(path)) return {StartupOpen::Kind::Folder, path};
        if (!HasPhotoExtension(path)) continue;
        if (Readable(path)) return {StartupOpen::Kind::Photo, path};
        if (fallback.kind == StartupOpen::Kind::None) fallback = {StartupOpen::Kind::Photo, path};
    }
    return fallback;
}

void OpenStartupPaths(TForm1& form, const std::vector<std::string>& args,
                      const std::string& startFolder) {
    const StartupOpen open = ChooseStartupPath(args, startFolder);
    if (open.kind == StartupOpen::Kind::None) return;
    // A folder goes where a folder dropped on the photo goes (a point off the
    // save-folder field); a photo opens whatever the point.
    const std::optional<QPoint> point = open.kind == StartupOpen::Kind::Folder
                                            ? std::optional<QPoint>(QPoint(-1, -1))
                                            : std::nullopt;
    TForm1* target = &form;
    QTimer::singleShot(0, target,
                       [target, open, point] { target->HandleDroppedFiles({open.path}, point); });
}
