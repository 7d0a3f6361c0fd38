// The temporary file is written with the platform's own calls because the
// standard streams cannot flush a file to the disk: without that flush a
// power cut after the rename can leave the final name on an empty file.
#include "platform/file_write.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "platform/paths.h"

#ifdef _WIN32
#include <io.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemporaryMark = ".tmp";
constexpr std::size_t kTemporaryDigits = 6;

fs::path TemporaryNameFor(const fs::path& target) {
    thread_local std::mt19937 random{std::random_device{}()};
    std::string digits = std::to_string(random() % 1000000u);
    digits.insert(0, kTemporaryDigits - digits.size(), '0');
    fs::path name = target;
    name += std::string(kTemporaryMark) + digits;
    return name;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

#ifdef _WIN32

enum class Created { Yes, Exists, Failed };

Created WriteNewFile(const fs::path& path, const void* data, std::size_t size) {
    if (fs::exists(path)) return Created::Exists;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return Created::Failed;
    bool ok =
        std::fwrite(data, 1, size, f) == size && std::fflush(f) == 0 && _commit(_fileno(f)) == 0;
    ok = std::fclose(f) == 0 && ok;
    return ok ? Created::Yes : Created::Failed;
}

void FlushFolder(const fs::path&) {}

#else

enum class Created { Yes, Exists, Failed };

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

Created WriteNewFile(const fs::path& path, const void* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Created::Exists : Created::Failed;
    bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok ? Created::Yes : Created::Failed;
}

// The rename itself lives in the folder: flushing it makes the new name last.
void FlushFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

#endif

}  // namespace

bool IsOwnTemporaryName(std::string_view name) {
    const std::size_t tail = kTemporaryMark.size() + kTemporaryDigits;
    if (name.size() <= tail) return false;
    const std::string_view digits = name.substr(name.size() - kTemporaryDigits);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (name.substr(name.size() - tail, kTemporaryMark.size()) != kTemporaryMark) return false;
    const std::string_view target = name.substr(0, name.size() - tail);
    return EndsWithNoCase(target, ".jpg") || EndsWithNoCase(target, ".jpeg");
}

int RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds minAge) {
    int removed = 0;
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    fs::directory_iterator it(ToFsPath(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code entryEc;
        if (!IsOwnTemporaryName(it->path().filename().string())) continue;
        if (!it->is_regular_file(entryEc)) continue;
        const auto written = it->last_write_time(entryEc);
        if (entryEc || now - written < minAge) continue;
        if (fs::remove(it->path(), entryEc)) ++removed;
    }
    return removed;
}

bool WriteFileWhole(const std::string& path, const void* data, std::size_t size) {
    try {
        const fs::path target = ToFsPath(path);
        const std::string folder = FolderOf(path);
        RemoveStaleTemporaries(folder.empty() ? "." : folder);
        for (int attempt = 0; attempt < 8; ++attempt) {
            const fs::path temp = TemporaryNameFor(target);
            const Created created = WriteNewFile(temp, data, size);
            if (created == Created::Exists) continue;
            std::error_code ec;
            if (created == Created::Yes) {
                fs::rename(temp, target, ec);
                if (!ec) {
                    FlushFolder(target.parent_path());
                    return true;
                }
            }
            fs::remove(temp, ec);
            return false;
        }
    } catch (const std::exception&) {
    }
    return false;
}

bool WriteWorkingFile(const std::string& path, const void* data, std::size_t size) {
    try {
        std::ofstream out(ToFsPath(path), std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        return !out.fail();
    } catch (const std::exception&) {
        return false;
    }
}
