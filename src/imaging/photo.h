#pragma once
// Loading a photo into the working images: decode, reduce very large photos
// to 3000 pixels on the long side, keep a copy for rotations and reloads, and
// build the square working image with the photo centred on black.
#include <functional>
#include <string>

#include "platform/bitmap.h"
#include "platform/host.h"

// The images every later step works on.
struct WorkingImages {
    Bitmap trim;           // the photo at working resolution; the sheet's crop overwrites it later
    Bitmap temp2;          // the photo exactly as loaded: source of rotations and of a reload
    Bitmap source;         // M x M, M = the longer side: the photo centred on black
    std::string fileName;  // path of the photo now loaded; empty when none
    // The photo as decoded, before the large-photo reduction. Only a working
    // buffer: kept so that the next photo decodes into memory already held.
    Bitmap decoded;
};

struct LoadOptions {
    // Photos with a side of 3000 pixels or more are reduced to 3000 on the long side.
    bool reduceLarge = true;
    // Photos are turned as their EXIF Orientation says, before any reduction.
    bool applyExifOrientation = true;
    // The layout's smallest crop frame in photo pixels: a photo whose square
    // cannot hold it gets the low-resolution warning too.
    int minFrameWidth = 0, minFrameHeight = 0;
};

struct LoadOutcome {
    int code = 0;                // 0, 1 empty name, -1 no such file, -2 not a decodable JPEG
    int width = 0, height = 0;   // the photo's size after any reduction
    bool restored = false;       // the same file again: restored from memory, nothing read
    bool reduced = false;        // the load-time reduction ran (averaged or stretched)
    bool lowResolution = false;  // at most 640 x 480 pixels, or too small for the smallest
                                 // frame: warn with LowResolutionMessage
    std::string errorReason;     // why the photo could not be read (code < 0), for the status bar
    // The photo as decoded and turned upright, before any reduction.
    int decodedWidth = 0, decodedHeight = 0;
};

constexpr int kLoadReduceSide = 3000;
constexpr long long kLowResolutionPixels = 307200;  // 640 x 480
// Status bar panel 2 while the load-time reduction runs.
constexpr char kReducingStatusText[] = "画像を縮小しています...";

// Status texts for the status bar (panel 2) during loading.
using StatusFn = std::function<void(const std::string&)>;

// Fills trim, temp2 and source from the file. The same name as the one loaded
// (exact comparison) only restores trim from temp2. On a failed decode the
// file name is left empty and trim is 1 x 1; temp2 and source keep the
// previous photo. When memory runs out on the way (-2, reason "メモリが足りません")
// every working image is emptied (trim 1 x 1) and no photo is loaded.
LoadOutcome LoadPhoto(WorkingImages& images, const std::string& fileName,
                      const LoadOptions& options, const StatusFn& status = {},
                      const YieldFn& yield = {});

struct PixelSize {
    int width = 0, height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};
// Whether a decoded photo of this size gets the load-time reduction, and its new size
// (3000 on the long side, the other side truncated, at least 1).
bool NeedsLoadReduction(int width, int height, const LoadOptions& options);
PixelSize LoadReducedSize(int width, int height);

// The text of the low-resolution information box.
std::string LowResolutionMessage(int width, int height);

// square = M x M black with `photo` at ((M - W) / 2, (M - H) / 2); `copy`,
// when given (not `photo` itself), becomes a copy of `photo` on the way.
void BuildSquareImage(const Bitmap& photo, Bitmap& square, Bitmap* copy = nullptr);
