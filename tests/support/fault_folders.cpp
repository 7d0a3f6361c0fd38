#include "support/fault_folders.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

bool CanCreateFileIn(const fs::path& folder) {
    const fs::path probe = folder / ".write-probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

namespace {

// Root's power to pass permission checks, in this thread's effective set.
bool SetOverrideEffective(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective =
        on ? data[0].effective | (data[0].permitted & bits) : data[0].effective & ~bits;
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(const fs::path& folder) : folder_(folder) {
    // Root passes permission checks, so permissions alone prove nothing there.
    if (TryPermissions() || TryMount() || TryImmutable() || TryWithoutOverride()) {
        made_ = true;
        return;
    }
    how_ =
        "neither permissions, a read-only bind mount, the immutable attribute nor root "
        "without its permission override could make a folder refuse new files here";
}

ReadOnlyFolder::~ReadOnlyFolder() {
    Undo();
}

bool ReadOnlyFolder::TryPermissions() {
    if (::geteuid() == 0) return false;
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    kind_ = Kind::Permissions;
    how_ = "permissions";
    if (!CanCreateFileIn(folder_)) return true;
    Undo();
    return false;
}

bool ReadOnlyFolder::TryMount() {
    const char* p = folder_.c_str();
    if (::mount(p, p, nullptr, MS_BIND, nullptr) != 0) return false;
    kind_ = Kind::Mount;
    how_ = "read-only bind mount";
    if (::mount(nullptr, p, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0 &&
        !CanCreateFileIn(folder_))
        return true;
    Undo();
    return false;
}

bool ReadOnlyFolder::TryImmutable() {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= FS_IMMUTABLE_FL;
    set = set && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    if (!set) return false;
    kind_ = Kind::Immutable;
    how_ = "immutable attribute";
    if (!CanCreateFileIn(folder_)) return true;
    Undo();
    return false;
}

// Root without the override (in the calling thread, which does the writes
// of these tests) meets permissions like anyone else.
bool ReadOnlyFolder::TryWithoutOverride() {
    if (::geteuid() != 0 || !SetOverrideEffective(false)) return false;
    kind_ = Kind::NoOverride;
    how_ = "permissions, with root's override dropped";
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (!CanCreateFileIn(folder_)) return true;
    Undo();
    return false;
}

void ReadOnlyFolder::Undo() {
    switch (kind_) {
        case Kind::NoOverride:
            SetOverrideEffective(true);
            fs::permissions(folder_, fs::perms::owner_all);
            break;
        case Kind::Permissions:
            fs::permissions(folder_, fs::perms::owner_all);
            break;
        case Kind::Mount:
            ::umount2(folder_.c_str(), MNT_DETACH);
            break;
        case Kind::Immutable:
            if (const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                fd >= 0) {
                int flags = 0;
                if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                    flags &= ~FS_IMMUTABLE_FL;
                    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
                }
                ::close(fd);
            }
            break;
        case Kind::None:
            break;
    }
    kind_ = Kind::None;
}

SmallDisk::SmallDisk(const fs::path& folder, std::uintmax_t bytes) : folder_(folder) {
    fs::create_directories(folder_);
    const std::string size = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0) {
        mounted_ = true;
        how_ = "tmpfs of " + std::to_string(bytes >> 10) + " KB";
    } else {
        how_ = "a small disk needs a tmpfs, and mounting one is not allowed here";
    }
}

SmallDisk::~SmallDisk() {
    Free();
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool SmallDisk::LeaveOnly(std::uintmax_t bytes) {
    Free();
    if (!mounted_) return false;
    struct statvfs s {};
    if (::statvfs(folder_.c_str(), &s) != 0) return false;
    const std::uintmax_t available = static_cast<std::uintmax_t>(s.f_bavail) * s.f_frsize;
    if (available <= bytes) return true;
    const fs::path filler = folder_ / kFillerName;
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::posix_fallocate(fd, 0, static_cast<off_t>(available - bytes)) == 0;
    ::close(fd);
    return ok;
}

void SmallDisk::Free() {
    if (mounted_) {
        std::error_code ec;
        fs::remove(folder_ / kFillerName, ec);
    }
}

std::map<std::string, std::uint64_t> FileChecksums(const fs::path& root) {
    std::map<std::string, std::uint64_t> sums;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::uint64_t h = 1469598103934665603ull;  // FNV-1a
        for (auto it = std::istreambuf_iterator<char>(in); it != std::istreambuf_iterator<char>();
             ++it) {
            h ^= static_cast<unsigned char>(*it);
            h *= 1099511628211ull;
        }
        sums[fs::relative(e.path(), root).string()] = h;
    }
    return sums;
}
