#pragma once
// Faults made for real on a test's own folder: a folder that refuses new
// files (even to root, who ignores permissions), and a disk that runs out
// part-way through a write. Each is undone when its object goes.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

// Makes `folder` refuse new files: by its permissions when not root, else by
// a read-only bind mount over it, else by the immutable attribute, else by
// permissions with root's override dropped from the calling thread (which
// must then be the one that writes). Made() tells whether one of them
// worked; How() names it, or says what was tried.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Made() const { return made_; }
    const std::string& How() const { return how_; }

  private:
    enum class Kind { None, Permissions, Mount, Immutable, NoOverride };
    bool TryPermissions();
    bool TryMount();
    bool TryImmutable();
    bool TryWithoutOverride();
    void Undo();

    std::filesystem::path folder_;
    Kind kind_ = Kind::None;
    bool made_ = false;
    std::string how_;
};

// A small disk at `folder` (created when missing): a tmpfs of `bytes`
// mounted there. LeaveOnly(n) fills it to within n bytes; Free() gives the
// room back. (A limit on the process's file sizes is no substitute: it would
// stop every file the run writes, the framing's working image first.)
class SmallDisk {
  public:
    explicit SmallDisk(const std::filesystem::path& folder, std::uintmax_t bytes = 16u << 20);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& How() const { return how_; }
    bool LeaveOnly(std::uintmax_t bytes);
    void Free();
    // The name of the file that takes up the room on the mounted disk.
    static constexpr const char* kFillerName = "filler.space";

  private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string how_;
};

// A checksum of every regular file below `root`, by path relative to it.
std::map<std::string, std::uint64_t> FileChecksums(const std::filesystem::path& root);

// True when a file can be created in `folder` (the file is removed again).
bool CanCreateFileIn(const std::filesystem::path& folder);
