#include "fd_files.h"

#include <fstream>
#include <string>

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

}  // namespace fd
