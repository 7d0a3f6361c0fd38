// The JPEG decoder on any bytes. A failed decode hands back no partial
// picture and gives a reason; a decoded picture encodes and decodes again to the same
// size.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (JpegAnnouncedPixels(data, size) > kFuzzMaxPixels) return 0;
    Bitmap picture(3, 2, {10, 20, 30});
    const Bitmap before = picture;
    std::string reason;
    int yields = 0;
    if (DecodeJpegMemory(data, size, picture, &reason, [&] { ++yields; }) != 0) {
        // Never a half-decoded picture: as it was, or emptied.
        Check(picture == before || picture.Empty(), "a failed decode left a partial picture");
        Check(!reason.empty(), "a failed decode gave no reason");
        return 0;
    }
    Check(!picture.Empty(), "a decode succeeded with an empty picture");
    Check(JpegDimensionsAllowed(picture.Width(), picture.Height()),
          "a decode succeeded beyond the size limits");
    std::vector<std::uint8_t> again;
    Check(EncodeJpegMemory(picture, 90, again) == 0, "a decoded picture does not encode");
    Bitmap back;
    Check(DecodeJpegMemory(again.data(), again.size(), back) == 0,
          "a re-encoded picture does not decode");
    Check(back.Width() == picture.Width() && back.Height() == picture.Height(),
          "a re-encoded picture changed its size");
    return 0;
}
