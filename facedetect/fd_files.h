#pragma once
// File access for the face library: paths arrive as UTF-8 strings and are
// resolved against a given folder or the current one.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fd {

// The largest file the library reads (JPEG or model description).
constexpr std::size_t kMaxFileBytes = std::size_t(1) << 30;

// The native path for a UTF-8 string, as it is.
std::filesystem::path PathFromUtf8(const std::string& utf8);

// The native path for a UTF-8 string, made absolute against `base` (the
// current folder when `base` is empty); an empty path when that fails.
std::filesystem::path AbsoluteFromUtf8(const char* utf8, const std::filesystem::path& base = {});

// 0: the whole file is in `out`; -1: missing, unreadable or a folder;
// -2: larger than `maxBytes`.
int ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& out,
                  std::size_t maxBytes = kMaxFileBytes);

// A file's bytes, read-only, for as long as any copy of the pointer lives:
// mapped into memory where the system allows it, otherwise read whole. The
// mapping is filled in at once (the library maps its model while the program
// waits after loading it; a fit that found its pages one fault at a time
// took 25-30 ms longer), and its pages are shared with every other process
// that maps the file. `size` is the file's length. Null when the file is
// missing, empty, unreadable or larger than `maxBytes`.
std::shared_ptr<const unsigned char> MapWholeFile(const std::filesystem::path& path,
                                                  std::size_t& size,
                                                  std::size_t maxBytes = kMaxFileBytes);

}  // namespace fd
