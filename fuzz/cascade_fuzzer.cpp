// The face library's description loading on any file, and a search with
// whatever it accepted. Loading a landmark model is cancelled at once: the
// model file is not the input here.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fd_detector.h"
#include "fuzz_support.h"
#include "platform/jpeg.h"

namespace {

// A small picture with some structure for the cascades to look at.
std::string SearchPicture() {
    const std::string path = ScratchPath("picture.jpg");
    Bitmap picture(48, 40);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const auto v = static_cast<std::uint8_t>((x * 7 + y * 13) % 256);
            picture.SetPixel(x, y, {v, static_cast<std::uint8_t>(255 - v), 128});
        }
    Check(EncodeJpegFile(path, picture, 90) == 0, "the search picture cannot be written");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string picture = SearchPicture();
    static const std::string path = ScratchPath("cascade.xml");
    WriteScratch(path, data, size);
    const std::atomic<bool> cancel{true};
    std::unique_ptr<fd::Detector> detector;
    const int r = fd::LoadDetector(path, cancel, detector);
    Check((r == fd::kOk) == (detector != nullptr), "a load result without its detector");
    if (!detector) return 0;
    fd::SearchRequest request{picture, cv::Size(0, 0), 0, 3};
    std::vector<cv::Rect> found;
    detector->Detect(request, found);
    request.pass = 1;
    request.minSize = cv::Size(8, 8);
    detector->Detect(request, found);
    return 0;
}
