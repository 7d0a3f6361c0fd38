#include "fd_box_finder.h"

#include <cstddef>
#include <istream>
#include <streambuf>

namespace fd {

extern const unsigned char kBoxFinderBytes[];
extern const std::size_t kBoxFinderSize;

namespace {

// Bytes in memory as a read-only stream.
class ByteBuffer final : public std::streambuf {
  public:
    ByteBuffer(const unsigned char* data, std::size_t size) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(begin, begin, begin + size);
    }
};

}  // namespace

void UnpackBoxFinder(dlib::frontal_face_detector& out) {
    ByteBuffer bytes(kBoxFinderBytes, kBoxFinderSize);
    std::istream in(&bytes);
    dlib::deserialize(out, in);
}

}  // namespace fd
