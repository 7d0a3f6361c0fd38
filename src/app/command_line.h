#pragma once
// Paths given on the command line, as a file manager passes them when a
// photo is opened with Kambrix: the window opens the first it can use, as if
// it had been dropped on it.
#include <string>
#include <vector>

class TForm1;

struct StartupOpen {
    enum class Kind { None, Photo, Folder };
    Kind kind = Kind::None;
    std::string path;  // absolute
};

// The path to open: the first argument that is a readable photo or a folder.
// When there is none, the first one named like a photo, so that the window
// says why it cannot be read; else nothing. Relative paths are taken from
// `startFolder` (the folder the program was started in).
StartupOpen ChooseStartupPath(const std::vector<std::string>& args, const std::string& startFolder);

// Opens what the arguments (without the program's name) ask for once the
// event loop runs, so that the window is on screen first.
void OpenStartupPaths(TForm1& form, const std::vector<std::string>& args,
                      const std::string& startFolder);
