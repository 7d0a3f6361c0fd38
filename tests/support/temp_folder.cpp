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

std::string PortraitsFolder(const std::string& set) {
    // KAMBRIX_PORTRAITS names the first set's folder for a checkout kept
    // elsewhere (the other sets lie beside it); otherwise the shared folder
    // lies beside the checkout, or beside the folder that holds work trees.
    std::error_code ec;
    if (const char* given = std::getenv("KAMBRIX_PORTRAITS"); given && *given) {
        const fs::path p =
            set == "portraits" ? fs::path(given) : fs::path(given).parent_path() / set;
        return fs::is_directory(p, ec) ? p.string() : std::string();
    }
    for (fs::path dir = fs::absolute(SourceDir(), ec).parent_path(); !dir.empty();
         dir = dir.parent_path()) {
        const fs::path p = dir / "shared" / "testdata" / set;
        if (fs::is_directory(p, ec)) return p.string();
        if (dir == dir.root_path()) break;
    }
    return std::string();
}
