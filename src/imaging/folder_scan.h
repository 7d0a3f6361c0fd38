#pragma once
// Photos entering the program: the JPEG test of a dropped file and the scan
// of a dropped folder.
#include <string>
#include <vector>

struct FolderScanCounts {
    int subfolders = 0;
    int files = 0;
    int jpegs = 0;
};

// Appends the folder's JPEG files (names ending in ".jpg" in any case) to
// `list` in the order the file system returns them, as folder + name (with a
// separator between when the folder lacks one), and counts the folder's
// subfolders (not entered), files and JPEG files. An empty or unreadable
// folder, or a path that is not a folder, gives 0, 0, 0.
FolderScanCounts CollectFolderJpegs(const std::string& folder, std::vector<std::string>& list);

// The dropped-file test: the extension is exactly ".jpg", ".JPG" or ".Jpg"
// (".jpeg" and ".jPg" do not count).
bool HasPhotoExtension(const std::string& path);
