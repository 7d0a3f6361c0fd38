#include "imaging/folder_scan.h"

#include "platform/paths.h"

namespace {

// The extension from the name's last dot, "" when the name has none.
std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool EndsWithJpgAnyCase(const std::string& name) {
    if (name.size() < 4) return false;
    const char* e = name.c_str() + name.size() - 4;
    return e[0] == '.' && (e[1] | 0x20) == 'j' && (e[2] | 0x20) == 'p' && (e[3] | 0x20) == 'g';
}

}  // namespace

FolderScanCounts CollectFolderJpegs(const std::string& folder, std::vector<std::string>& list) {
    FolderScanCounts counts;
    // An empty path would otherwise scan the root folder.
    if (folder.empty()) return counts;
    const std::string prefix = EndsWithBackslash(folder) == 1 ? folder : folder + kPathSeparator;
    for (const FolderEntry& e : ListFolder(folder)) {
        if (e.isDirectory) {
            ++counts.subfolders;
            continue;
        }
        ++counts.files;
        if (!EndsWithJpgAnyCase(e.name)) continue;
        list.push_back(prefix + e.name);
        ++counts.jpegs;
    }
    return counts;
}

bool HasPhotoExtension(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    return ext == ".jpg" || ext == ".JPG" || ext == ".Jpg";
}
