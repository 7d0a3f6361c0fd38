#include "imaging/photo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "imaging/orientation.h"
#include "imaging/reduce.h"
#include "platform/jpeg.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/text_format.h"

namespace {

void Pump(const YieldFn& yield) {
    if (yield) yield();
}

// Why a photo that is not there cannot be opened: gone, or its folder
// cannot be searched. A batch deleted under a run needs the reason as much as
// the window's status bar does.
std::string MissingFileReason(const std::string& path) {
    std::error_code error;
    (void)std::filesystem::status(ToFsPath(path), error);
    if (error && error != std::errc::no_such_file_or_directory) return error.message();
    return "ファイルが見つかりません";
}

// The large-photo reduction of `photo` into `reduced`: averaged when the
// reduction accepts the sizes, otherwise a plain nearest-pixel stretch to the
// same size.
void ReduceOnLoad(const Bitmap& photo, Bitmap& reduced, PixelSize size, const StatusFn& status,
                  const YieldFn& yield) {
    if (status) status(kReducingStatusText);
    Pump(yield);
    std::string reason;  // a refusal is not shown
    if (ReduceHighQuality(photo, reduced, size.width, size.height, reason, yield) == 0) return;
    reduced.SetSizeForOverwrite(size.width, size.height);  // the stretch covers every pixel
    StretchDraw(photo, reduced);
}

// The decoder's rows on their way into the working photo. An upright large
// photo is reduced as its rows come out, so the whole decoded picture is
// never held (nor written out and read back); an upright photo kept at its
// size goes straight into `trim`. Anything else (a photo to be turned first,
// or one the averaging reduction refuses) is decoded whole into `decoded`.
class WorkingPhotoRows : public JpegRowConsumer {
  public:
    WorkingPhotoRows(WorkingImages& images, const LoadOptions& options, const StatusFn& status)
        : images_(images), options_(options), status_(status) {}

    void Begin(int width, int height, int exifOrientation) override {
        width_ = width;
        height_ = height;
        orientation_ = options_.applyExifOrientation ? exifOrientation : 1;
        whole_ = &images_.decoded;
        streamed_ = false;
        if (orientation_ >= 2 && orientation_ <= 8)
            return images_.decoded.SetSizeForOverwrite(width, height);
        if (NeedsLoadReduction(width, height, options_)) {
            const PixelSize size = LoadReducedSize(width, height);
            streamed_ = stream_.Begin(width, height, images_.trim, size.width, size.height,
                                      kJpegRowsPerStep);
            if (!streamed_) return images_.decoded.SetSizeForOverwrite(width, height);
            if (status_) status_(kReducingStatusText);
            return;
        }
        whole_ = &images_.trim;
        images_.trim.SetSizeForOverwrite(width, height);
    }
    std::uint8_t* Row(int y) override { return streamed_ ? stream_.SourceRow(y) : whole_->Row(y); }
    void RowsDone(int y) override {
        if (streamed_) stream_.RowsWritten(y);
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Orientation() const { return orientation_; }
    // True when `trim` holds the working photo; false when it is in `decoded`.
    bool InTrim() const { return streamed_ || whole_ == &images_.trim; }
    bool Reduced() const { return streamed_; }

  private:
    WorkingImages& images_;
    const LoadOptions& options_;
    const StatusFn& status_;
    int width_ = 0, height_ = 0, orientation_ = 1;
    Bitmap* whole_ = nullptr;
    bool streamed_ = false;
    RowStreamReduction stream_;
};

// A photo decoded whole into `decoded`: turned as its EXIF says, then
// reduced into `trim` or moved there.
void FinishWholePhoto(WorkingImages& images, int orientation, const LoadOptions& options,
                      const StatusFn& status, const YieldFn& yield, LoadOutcome& outcome) {
    ApplyExifOrientation(images.decoded, orientation);
    Pump(yield);
    const int w = images.decoded.Width(), h = images.decoded.Height();
    if (NeedsLoadReduction(w, h, options)) {
        ReduceOnLoad(images.decoded, images.trim, LoadReducedSize(w, h), status, yield);
        outcome.reduced = true;
    } else {
        std::swap(images.trim, images.decoded);  // both keep their memory for the next photo
    }
}

// After the working photo is in `trim`: the kept copy and the square.
void FinishLoading(WorkingImages& images, const LoadOptions& options, const YieldFn& yield,
                   LoadOutcome& outcome) {
    outcome.width = images.trim.Width();
    outcome.height = images.trim.Height();
    const int side = std::max(outcome.width, outcome.height);
    outcome.lowResolution =
        static_cast<long long>(outcome.width) * outcome.height <= kLowResolutionPixels ||
        side < options.minFrameWidth || side < options.minFrameHeight;
    Pump(yield);
    BuildSquareImage(images.trim, images.source, &images.temp2);
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

void BuildSquareImage(const Bitmap& photo, Bitmap& square, Bitmap* copy) {
    const int w = photo.Width(), h = photo.Height(), m = std::max(w, h);
    const int left = (m - w) / 2, top = (m - h) / 2;
    // Every byte written once: black margins around the copied rows. The
    // copy takes each row while it is at hand, so the photo is read once.
    if (copy) copy->SetSizeForOverwrite(w, h);
    square.SetSizeForOverwrite(m, m);
    const std::size_t rowBytes = static_cast<std::size_t>(square.Stride());
    const std::size_t leftBytes = static_cast<std::size_t>(left) * 3;
    const std::size_t photoBytes = static_cast<std::size_t>(photo.Stride());
    for (int y = 0; y < m; ++y) {
        std::uint8_t* row = square.Row(y);
        if (y < top || y >= top + h) {
            std::memset(row, 0, rowBytes);
            continue;
        }
        std::memset(row, 0, leftBytes);
        if (photoBytes) std::memcpy(row + leftBytes, photo.Row(y - top), photoBytes);
        if (copy && photoBytes) std::memcpy(copy->Row(y - top), photo.Row(y - top), photoBytes);
        std::memset(row + leftBytes + photoBytes, 0, rowBytes - leftBytes - photoBytes);
    }
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
        outcome.errorReason = MissingFileReason(fileName);
        return outcome;
    }
    images.trim.SetSize(1, 1, kBlack);  // its memory stays for this photo
    images.fileName.clear();
    WorkingPhotoRows rows(images, options, status);
    if (DecodeJpegFileRows(fileName, rows, &outcome.errorReason, yield) != 0) {
        images.trim.SetSize(1, 1, kBlack);  // rows of the failed photo may have reached it
        outcome.code = -2;
        return outcome;
    }
    images.fileName = fileName;
    Pump(yield);
    // Turned upright by EXIF, the decoded size swaps for orientations 5 ... 8.
    const int orientation = rows.Orientation();
    const bool swapped = orientation >= 5 && orientation <= 8;
    outcome.decodedWidth = swapped ? rows.Height() : rows.Width();
    outcome.decodedHeight = swapped ? rows.Width() : rows.Height();
    outcome.reduced = rows.Reduced();
    if (!rows.InTrim()) FinishWholePhoto(images, orientation, options, status, yield, outcome);
    FinishLoading(images, options, yield, outcome);
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
        images.trim.SetSize(1, 1, kBlack);
        LoadOutcome outcome;
        outcome.code = -2;
        outcome.errorReason = kNoMemoryReason;
        return outcome;
    }
}
