#pragma once
// Files and folders. Paths are native strings (UTF-8 here); folders that the
// program keeps (program folder, photo folder, output folders) end with the
// native separator.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Longest path the program's path fields hold, terminator included.
constexpr std::size_t kMaxPathBytes = 2048;

// -2: the path has kMaxPathBytes bytes or more; -3: it is empty; 1: its last
// byte is the separator `sep` and not the second byte of a double-byte CP932
// character (when `cp932` is true, bytes are walked from the first and a lead
// byte makes the next byte its trail byte); 0 otherwise. UTF-8 paths never
// carry an ASCII byte inside a multi-byte character, so for them (cp932 false)
// only the last byte counts.
int EndsWithBackslash(std::string_view path, char sep = kPathSeparator, bool cp932 = false);
// True for a CP932 lead byte (0x81-0x9F, 0xE0-0xFC).
bool IsCp932LeadByte(unsigned char c);

bool FileExists(const std::string& path);       // a regular file (or anything not a folder) exists
bool DirectoryExists(const std::string& path);  // a folder exists
bool PathExists(const std::string& path);       // anything exists
bool IsRegularFile(const std::string& path);  // a plain file (links followed), not a pipe or device

struct FolderEntry {
    std::string name;  // without folder
    bool isDirectory = false;
};
// The folder's entries in the order the file system returns them, without
// "." and "..". Empty when the folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);

// The whole content of a regular file; false when it is missing, is not a
// regular file (a folder, pipe or device), or cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Creates the folder with all missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder);
// True when the folder's entries can be reached (its search permission):
// a folder without it cannot take a file even when it is writable.
bool CanEnterFolder(const std::string& folder);
// `path` as given when it is absolute or empty; else below the current
// folder. The program never changes its current folder once started, so a
// relative save folder means the same folder for every output.
std::string AnchoredPath(const std::string& path);
std::string CurrentFolder();  // with trailing separator
bool SetCurrentFolder(const std::string& folder);
// The executable's folder with trailing separator.
std::string ExecutableFolder();

// A UTF-8 path as std::filesystem wants it (native encoding).
std::filesystem::path ToFsPath(const std::string& path);

// Folder part of a path with trailing separator ("" when there is none).
std::string FolderOf(const std::string& path);
// The last component of a path (the file name with its extension).
std::string FileNameOf(const std::string& path);
// The path with `sep` appended when EndsWithBackslash says it lacks one.
std::string WithTrailingSeparator(const std::string& folder);
