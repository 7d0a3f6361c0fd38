#include "imaging/photo.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "imaging/orientation.h"
#include "imaging/reduce.h"
#include "platform/exif_orientation.h"
#include "platform/jpeg.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/text_format.h"

namespace {

void Pump(const YieldFn& yield) {
    if (yield) yield();
}

// The large-photo reduction: averaged when the reduction accepts the sizes,
// otherwise a plain nearest-pixel stretch to the same size.
void ReduceOnLoad(Bitmap& photo, PixelSize size, const StatusFn& status, const YieldFn& yield) {
    if (status) status(kReducingStatusText);
    Pump(yield);
    std::string reason;  // a refusal is not shown
    if (ReduceHighQuality(photo, photo, size.width, size.height, reason, yield) == 0) return;
    Bitmap stretched(size.width, size.height);
    StretchDraw(photo, stretched);
    photo = std::move(stretched);
}

// After the decode: the large-photo reduction, the kept copy and the square.
void FinishLoading(WorkingImages& images, const LoadOptions& options, const StatusFn& status,
                   const YieldFn& yield, LoadOutcome& outcome) {
    if (NeedsLoadReduction(images.trim.Width(), images.trim.Height(), options)) {
        ReduceOnLoad(images.trim, LoadReducedSize(images.trim.Width(), images.trim.Height()),
                     status, yield);
        outcome.reduced = true;
    }
    outcome.width = images.trim.Width();
    outcome.height = images.trim.Height();
    const int side = std::max(outcome.width, outcome.height);
    outcome.lowResolution =
        static_cast<long long>(outcome.width) * outcome.height <= kLowResolutionPixels ||
        side < options.minFrameWidth || side < options.minFrameHeight;
    images.temp2 = images.trim;
    BuildSquareImage(images.trim, images.source);
}

}  // namespace

bool NeedsLoadReduction(int width, int height, const LoadOptions& options) {
    return options.reduceLarge && (width >= kLoadReduceSide || height >= kLoadReduceSide);
}

PixelSize LoadReducedSize(int width, int height) {
    const long long w = width, h = height;
    if (width >= height)
        return {kLoadReduceSide, static_cast<int>(std::max(1LL, h * kLoadReduceSide / w))};
    return {static_cast<int>(std::max(1LL, w * kLoadReduceSide / h)), kLoadReduceSide};
}

std::string LowResolutionMessage(int width, int height) {
    return FormatText(
        "画像解像度が低いので作成画像が荒れる可能性があります。\n\n"
        "横ピクセル数:%d 縦ピクセル数: %d",
        width, height);
}

void BuildSquareImage(const Bitmap& photo, Bitmap& square) {
    const int w = photo.Width(), h = photo.Height(), m = std::max(w, h);
    square.SetSize(m, m, kBlack);
    Draw(photo, square, (m - w) / 2, (m - h) / 2);
}

namespace {

LoadOutcome LoadPhotoUnguarded(WorkingImages& images, const std::string& fileName,
                               const LoadOptions& options, const StatusFn& status,
                               const YieldFn& yield) {
    LoadOutcome outcome;
    // An empty name is never "the same file": with nothing loaded (or after a
    // failed load) there is nothing to restore.
    if (fileName.empty()) {
        outcome.code = 1;
        return outcome;
    }
    if (fileName == images.fileName) {
        images.trim = images.temp2;
        outcome.restored = true;
        outcome.width = images.trim.Width();
        outcome.height = images.trim.Height();
        return outcome;
    }
    if (!PathExists(fileName)) {
        outcome.code = -1;
        return outcome;
    }
    images.trim = Bitmap(1, 1);  // also gives back the previous photo's memory
    images.fileName.clear();
    if (DecodeJpegFile(fileName, images.trim, &outcome.errorReason, yield) != 0) {
        images.trim = Bitmap(1, 1);
        outcome.code = -2;
        return outcome;
    }
    if (options.applyExifOrientation)
        ApplyExifOrientation(images.trim, ReadJpegExifOrientation(fileName));
    images.fileName = fileName;
    Pump(yield);
    FinishLoading(images, options, status, yield, outcome);
    return outcome;
}

}  // namespace

LoadOutcome LoadPhoto(WorkingImages& images, const std::string& fileName,
                      const LoadOptions& options, const StatusFn& status, const YieldFn& yield) {
    try {
        return LoadPhotoUnguarded(images, fileName, options, status, yield);
    } catch (const std::bad_alloc&) {
        // Nothing half-built stays: no photo is loaded now.
        images = WorkingImages{};
        images.trim.SetSize(1, 1);
        LoadOutcome outcome;
        outcome.code = -2;
        outcome.errorReason = kNoMemoryReason;
        return outcome;
    }
}
