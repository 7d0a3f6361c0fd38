#pragma once
// A fresh folder under the system's temporary folder, removed with its content
// when the object goes.
#include <filesystem>
#include <string>

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder with a trailing separator, as the program keeps its folders.
    std::string Dir() const { return path_.string() + "/"; }
    // Writes `content` to the file `name` inside the folder; returns its path.
    std::string Write(const std::string& name, const std::string& content) const;

  private:
    std::filesystem::path path_;
};

// The source tree and the program folder of this build (the environment
// variables KAMBRIX_SOURCE_DIR and KAMBRIX_PROGRAM_DIR override them).
std::filesystem::path SourceDir();
std::filesystem::path ProgramDir();
// A file kept under tests/data.
std::string TestDataPath(const std::string& name);
// A shared portraits folder ("portraits", "portraits2"), or "" when it is
// not there.
std::string PortraitsFolder(const std::string& set = "portraits");
