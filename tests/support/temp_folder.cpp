#include "support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::random_device rd;
    for (;;) {
        fs::path p = fs::temp_directory_path() / ("kambrix-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    const fs::path p = path_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
}

namespace {
fs::path FromEnvironment(const char* name, const char* built) {
    const char* value = std::getenv(name);
    return fs::path(value && *value ? value : built);
}
}  // namespace

fs::path SourceDir() {
    return FromEnvironment("KAMBRIX_SOURCE_DIR", KAMBRIX_BUILT_SOURCE_DIR);
}
fs::path ProgramDir() {
    return FromEnvironment("KAMBRIX_PROGRAM_DIR", KAMBRIX_BUILT_PROGRAM_DIR);
}

std::string TestDataPath(const std::string& name) {
    return (SourceDir() / "tests" / "data" / name).string();
}

std::string PortraitsFolder() {
    // KAMBRIX_PORTRAITS names the folder for a checkout kept elsewhere.
    const char* given = std::getenv("KAMBRIX_PORTRAITS");
    const fs::path p = given && *given
                           ? fs::path(given)
                           : SourceDir().parent_path() / "shared" / "testdata" / "portraits";
    std::error_code ec;
    return fs::is_directory(p, ec) ? p.string() : std::string();
}
