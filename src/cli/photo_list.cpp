#include "cli/photo_list.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>
#include <system_error>

#include "imaging/folder_scan.h"
#include "platform/paths.h"
#include "sheet/output_paths.h"

namespace {

// The identity of an existing file, so that "a.jpg" and "./a.jpg" (or a link)
// count once.
std::string FileIdentity(const std::string& path) {
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(ToFsPath(path), ec);
    return ec ? path : canonical.string();
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(ToFsPath(path), ec);
    return ec ? path : absolute.lexically_normal().string();
}

PhotoListResult BuildPhotoList(const std::vector<std::string>& inputs) {
    PhotoListResult result;
    std::vector<BatchPhoto> found;
    for (const std::string& input : inputs) {
        if (DirectoryExists(input)) {
            std::vector<std::string> names;
            CollectFolderJpegs(input, names);
            const std::string folder = AbsolutePath(input);
            for (const std::string& given : names)
                found.push_back({given, WithTrailingSeparator(folder) + FileNameOf(given)});
        } else if (FileExists(input)) {
            found.push_back({input, AbsolutePath(input)});
        } else {
            result.error = "no such file or folder: " + input;
            return result;
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const BatchPhoto& a, const BatchPhoto& b) { return a.path < b.path; });
    std::set<std::string> seen;
    for (BatchPhoto& photo : found)
        if (seen.insert(FileIdentity(photo.path)).second) result.photos.push_back(std::move(photo));
    return result;
}

std::vector<BatchPhoto> TakeShard(const std::vector<BatchPhoto>& photos, const ShardSpec& shard) {
    std::vector<BatchPhoto> taken;
    if (shard.count < 1) return photos;
    for (std::size_t i = static_cast<std::size_t>(shard.index); i < photos.size();
         i += static_cast<std::size_t>(shard.count))
        taken.push_back(photos[i]);
    return taken;
}

int PersonsPerSheet(int photoCount, int photosPerPerson) {
    if (photosPerPerson <= 0 || photosPerPerson >= photoCount) return 1;
    return (photoCount + photosPerPerson - 1) / photosPerPerson;
}

std::vector<std::vector<int>> GroupPhotos(int photoCount, int personsPerSheet) {
    std::vector<std::vector<int>> groups;
    const int size = std::max(1, personsPerSheet);
    for (int i = 0; i < photoCount; ++i) {
        if (i % size == 0) groups.emplace_back();
        groups.back().push_back(i);
    }
    return groups;
}

std::string FindOutputClash(const std::vector<BatchPhoto>& photos, const std::string& outDir) {
    std::map<std::string, const BatchPhoto*> outputs;
    for (const BatchPhoto& photo : photos) {
        const std::string out = SheetFolder(outDir, FolderOf(photo.path)) + FileNameOf(photo.path);
        const auto [it, fresh] = outputs.emplace(out, &photo);
        if (!fresh)
            return "two photos would write the same output " + out + ": " + it->second->given +
                   " and " + photo.given;
    }
    return {};
}

std::vector<int> LargestUnitsFirst(const std::vector<BatchPhoto>& photos,
                                   const std::vector<std::vector<int>>& units) {
    std::vector<std::uintmax_t> bytes(units.size(), 0);
    for (std::size_t u = 0; u < units.size(); ++u)
        for (int i : units[u]) {
            std::error_code ec;
            const std::uintmax_t size =
                std::filesystem::file_size(ToFsPath(photos[static_cast<std::size_t>(i)].path), ec);
            if (!ec) bytes[u] += size;
        }
    std::vector<int> order(units.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&bytes](int a, int b) {
        return bytes[static_cast<std::size_t>(a)] > bytes[static_cast<std::size_t>(b)];
    });
    return order;
}
