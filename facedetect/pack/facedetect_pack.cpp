// Prepares, when the library is built, the two models it would otherwise
// unpack on every load:
//
//   facedetect_pack landmarks MODEL.dat OUT.flat
//       dlib's landmark model in the library's flat format, which the library
//       maps instead of decoding (about 0.35 s of processor time per load);
//   facedetect_pack box-finder OUT.cpp
//       dlib's frontal face detector as plain serialized bytes in a C++
//       source, which deserialize in a few milliseconds where dlib's own
//       compressed copy takes about 0.3 s to unpack.
//
// Both files are written beside their final name and then renamed over it,
// so that an interrupted build never leaves half a model behind.
#include <dlib/image_processing/frontal_face_detector.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "fd_shape_model.h"

namespace fs = std::filesystem;

namespace {

// Writes `write`'s output to `target` through a temporary file beside it.
template <class Write>
void WriteReplacing(const fs::path& target, Write write) {
    const fs::path temp = fs::path(target).concat(".part");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.exceptions(std::ios::badbit | std::ios::failbit);
        write(out);
        out.close();
    }
    fs::rename(temp, target);
}

void PackLandmarks(const fs::path& model, const fs::path& target) {
    fd::ShapeModel shape;
    {
        std::ifstream in(model, std::ios::binary);
        if (!in) throw std::runtime_error("cannot open " + model.string());
        deserialize(shape, in);
    }
    WriteReplacing(target, [&](std::ostream& out) { shape.WriteFlat(out); });
    // What was written must read back as the same model.
    fd::ShapeModel check;
    check.ReadFlat(target);
    if (check.num_parts() != shape.num_parts())
        throw std::runtime_error("the flat model does not read back");
}

void PackBoxFinder(const fs::path& target) {
    std::ostringstream bytes;
    dlib::serialize(dlib::get_frontal_face_detector(), bytes);
    const std::string data = bytes.str();
    WriteReplacing(target, [&](std::ostream& out) {
        out << "// Written by facedetect_pack from dlib's frontal face detector; not edited by "
               "hand.\n"
               "#include <cstddef>\n\nnamespace fd {\n\nextern const unsigned char "
               "kBoxFinderBytes[];\n"
               "extern const std::size_t kBoxFinderSize;\nconst unsigned char kBoxFinderBytes[] = "
               "{";
        for (std::size_t i = 0; i < data.size(); ++i)
            out << (i % 24 == 0 ? "\n" : "")
                << static_cast<unsigned>(static_cast<unsigned char>(data[i])) << ',';
        out << "\n};\nconst std::size_t kBoxFinderSize = " << data.size()
            << ";\n\n}  // namespace fd\n";
    });
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string what = argc > 1 ? argv[1] : "";
        if (what == "landmarks" && argc == 4) {
            PackLandmarks(argv[2], argv[3]);
        } else if (what == "box-finder" && argc == 3) {
            PackBoxFinder(argv[2]);
        } else {
            std::cerr << "usage: facedetect_pack landmarks MODEL.dat OUT.flat\n"
                         "       facedetect_pack box-finder OUT.cpp\n";
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "facedetect_pack: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
