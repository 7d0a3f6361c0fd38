#pragma once
// The source tree, for tests that read files kept in tests/data or data/.
#include <cstdlib>
#include <filesystem>
#include <string>

inline std::filesystem::path SourceDir() {
    if (const char* dir = std::getenv("KAMBRIX_SOURCE_DIR")) return dir;
    // Run by hand: this header lies in tests/unit/platform.
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
}

inline std::string TestDataPath(const std::string& name) {
    return (SourceDir() / "tests" / "data" / name).string();
}
