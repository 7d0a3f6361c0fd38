#include "platform/paths.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

// Paths are UTF-8 strings; std::filesystem wants the native encoding.
fs::path ToFsPath(const std::string& path) {
#ifdef _WIN32
    return fs::path(std::u8string(path.begin(), path.end()));
#else
    return fs::path(path);
#endif
}

namespace {

std::string FromFsPath(const fs::path& path) {
#ifdef _WIN32
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
#else
    return path.string();
#endif
}

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == kPathSeparator;
#endif
}

// Index just past the last separator, 0 when there is none.
std::size_t NameStart(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return i;
    return 0;
}

}  // namespace

bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

int EndsWithBackslash(std::string_view path, char sep, bool cp932) {
    if (path.size() >= kMaxPathBytes) return -2;
    if (path.empty()) return -3;
    const std::size_t last = path.size() - 1;
    if (path[last] != sep) return 0;
    if (!cp932) return 1;
    // Walk from the start: a lead byte swallows the byte after it.
    std::size_t i = 0;
    while (i < last) i += IsCp932LeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1;
    return i == last ? 1 : 0;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const fs::file_status st = fs::status(ToFsPath(path), ec);
    return fs::exists(st) && !fs::is_directory(st);
}

bool DirectoryExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_directory(ToFsPath(path), ec);
}

bool PathExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::exists(ToFsPath(path), ec);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    if (folder.empty()) return entries;
    std::error_code ec;
    fs::directory_iterator it(ToFsPath(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        FolderEntry e;
        e.name = FromFsPath(it->path().filename());
        e.isDirectory = it->is_directory(typeEc);  // follows links, as find-first does
        entries.push_back(std::move(e));
    }
    return entries;
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    const fs::path p = ToFsPath(folder);
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

bool CanEnterFolder(const std::string& folder) {
#ifdef _WIN32
    return DirectoryExists(folder);
#else
    return DirectoryExists(folder) && access(ToFsPath(folder).c_str(), X_OK) == 0;
#endif
}

std::string AnchoredPath(const std::string& path) {
    if (path.empty() || ToFsPath(path).is_absolute()) return path;
    return CurrentFolder() + path;
}

std::string CurrentFolder() {
    std::error_code ec;
    const fs::path p = fs::current_path(ec);
    if (ec) return std::string();
    return WithTrailingSeparator(FromFsPath(p));
}

bool SetCurrentFolder(const std::string& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    fs::current_path(ToFsPath(folder), ec);
    return !ec;
}

std::string ExecutableFolder() {
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
    if (n == 0 || n >= 32768) return std::string();
    return FolderOf(FromFsPath(fs::path(std::wstring(buffer, n))));
#else
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    return FolderOf(FromFsPath(exe));
#endif
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, NameStart(path));
}

std::string FileNameOf(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string WithTrailingSeparator(const std::string& folder) {
    // Only a plain "no" adds the separator: an empty or over-long path stays as it is.
    return EndsWithBackslash(folder) == 0 ? folder + kPathSeparator : folder;
}

bool IsRegularFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_regular_file(ToFsPath(path), ec);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    // A pipe or a device would block the read or never end; only plain files
    // hold a photo or a layout.
    if (!IsRegularFile(path)) return false;
    std::ifstream in(ToFsPath(path), std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), size);
    return in.gcount() == size;
}
