// The landmark model's flat file on any bytes: refused, or read and fitted
// on a small picture without reading outside the file.
#include <dlib/serialize.h>

#include <string>

#include "fd_shape_model.h"
#include "fuzz_support.h"

namespace {

// A small picture with some structure for the fits to sample.
fd::ShapeModel::Image FitPicture() {
    fd::ShapeModel::Image image;
    image.set_size(24, 32);
    for (long y = 0; y < image.nr(); ++y)
        for (long x = 0; x < image.nc(); ++x)
            image[y][x] = static_cast<unsigned char>(x * 9 + y * 5);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchPath("model.flat");
    WriteScratch(path, data, size);
    fd::ShapeModel model;
    try {
        model.ReadFlat(path);
    } catch (const dlib::serialization_error&) {
        return 0;
    }
    static const fd::ShapeModel::Image image = FitPicture();
    const dlib::full_object_detection shape = model(image, dlib::rectangle(2, 2, 21, 21));
    Check(shape.num_parts() == model.num_parts(), "a fit without every point");
    return 0;
}
