#include "fd_files.h"

#include <fstream>
#include <string>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fd {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

fs::path AbsoluteFromUtf8(const char* utf8, const fs::path& base) {
    if (utf8 == nullptr || *utf8 == '\0') return {};
    std::error_code ec;
    const fs::path given = PathFromUtf8(utf8);
    fs::path result = given.is_absolute() || base.empty() ? fs::absolute(given, ec) : base / given;
    return ec ? fs::path() : result.lexically_normal();
}

int ReadWholeFile(const fs::path& path, std::vector<unsigned char>& out, std::size_t maxBytes) {
    out.clear();
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return -1;
    const auto size = fs::file_size(path, ec);
    if (ec) return -1;
    if (size > maxBytes) return -2;
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    out.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (static_cast<std::size_t>(in.gcount()) != out.size()) {
        out.clear();
        return -1;
    }
    return 0;
}

std::shared_ptr<const unsigned char> MapWholeFile(const fs::path& path, std::size_t& size,
                                                  std::size_t maxBytes) {
    size = 0;
#if defined(_WIN32)
    auto bytes = std::make_shared<std::vector<unsigned char>>();
    if (ReadWholeFile(path, *bytes, maxBytes) != 0 || bytes->empty()) return nullptr;
    size = bytes->size();
    return std::shared_ptr<const unsigned char>(bytes, bytes->data());
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    void* base = MAP_FAILED;
    std::size_t length = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<unsigned long long>(info.st_size) <= maxBytes) {
        length = static_cast<std::size_t>(info.st_size);
        base = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    ::close(fd);  // the mapping keeps the file
    if (base == MAP_FAILED) return nullptr;
    size = length;
    return std::shared_ptr<const unsigned char>(
        static_cast<const unsigned char*>(base),
        [length](const unsigned char* p) { ::munmap(const_cast<unsigned char*>(p), length); });
#endif
}

}  // namespace fd
