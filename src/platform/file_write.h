#pragma once
// Writing a whole file so that a reader, a crash or a power cut never finds a
// partial one under its name: the bytes go to a temporary file beside it
// ("<name>.tmpNNNNNN", six digits), are flushed to the disk, and the temporary
// file then replaces the target in one rename.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// True when `path` now holds exactly the `size` bytes; false when the folder
// cannot be written, the disk is full or the rename fails. A failed write
// leaves the previous file (if any) as it was and no temporary file behind.
// Before writing, stale temporaries of earlier, interrupted writes in the same
// folder are removed (see RemoveStaleTemporaries).
bool WriteFileWhole(const std::string& path, const void* data, std::size_t size);

// A working file that lives for moments and is removed by its writer (a
// picture handed to another component by name): written in place, not
// flushed to the disk and without the stale-temporary sweep, since a crash
// loses nothing of value. True when all `size` bytes were written.
bool WriteWorkingFile(const std::string& path, const void* data, std::size_t size);

// A temporary name this writer makes: a JPEG file name (".jpg" or ".jpeg" in
// any case) followed by ".tmp" and six digits.
bool IsOwnTemporaryName(std::string_view fileName);

// How old a temporary file must be before it counts as left over: a write in
// progress takes seconds, and another program may be writing beside us.
constexpr std::chrono::minutes kStaleTemporaryAge{10};

// Removes the regular files of `folder` whose names IsOwnTemporaryName accepts
// and that were last written at least `minAge` ago. Returns how many it removed.
int RemoveStaleTemporaries(const std::string& folder,
                           std::chrono::seconds minAge = kStaleTemporaryAge);
