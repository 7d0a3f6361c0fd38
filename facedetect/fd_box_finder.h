#pragma once
// dlib's frontal face detector, read from the plain copy that the build
// stored in the library (see pack/facedetect_pack.cpp) instead of unpacking
// dlib's compressed one.
#include <dlib/image_processing/frontal_face_detector.h>

namespace fd {

// Throws dlib::serialization_error when the stored bytes do not read as a
// detector, std::bad_alloc without memory.
void UnpackBoxFinder(dlib::frontal_face_detector& out);

}  // namespace fd
