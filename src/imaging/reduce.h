#pragma once
// High-quality reduction: every target pixel is the average of the source
// pixels it covers, each weighted by how much of it lies under the target
// pixel, in hundredths of a pixel. Only moderate reductions with nearly the
// same aspect ratio are accepted; anything else is refused with a reason so
// that the caller can fall back to a plain stretch.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/host.h"

// Largest side of source and target the reduction accepts.
constexpr int kReduceMaxSide = 9800;

// Results besides 0 (0 is also returned, with its own text, for equal sizes).
constexpr int kReduceRatioDiffers = -10;
constexpr int kReduceNoMemory = -11;  // the working memory could not be had
constexpr int kReduceSourceTooLarge = -12;
constexpr int kReduceTargetTooLarge = -13;
constexpr int kReduceTooStrong = -14;
constexpr int kReduceEnlargement = -15;
constexpr int kReduceSourceTooLargeAtWork = -16;

// Reduces `source` to width x height into `target` (which may be `source`
// itself). `errorText` is emptied first and receives the reason of a refusal,
// or the same-size note. Returns 0 when the target holds the result: the
// reduced picture, or a copy of the source when the sizes are equal. Any
// other result leaves the target untouched. `yield` is called from the calling
// thread between bands of rows.
int ReduceHighQuality(const Bitmap& source, Bitmap& target, int width, int height,
                      std::string& errorText, const YieldFn& yield = {});

// The same averaging reduction for a source that arrives a few rows at a
// time, top to bottom (a decoder's output), held only in a small ring of
// rows: the target ends up exactly as ReduceHighQuality would leave it.
struct HighQualityReducer;
class RowStreamReduction {
  public:
    RowStreamReduction();
    ~RowStreamReduction();
    RowStreamReduction(const RowStreamReduction&) = delete;
    RowStreamReduction& operator=(const RowStreamReduction&) = delete;

    // True when ReduceHighQuality would average a source of this size down
    // to width x height: the target is sized (its pixels unspecified until
    // their rows are done) and the rows may come. False for anything else
    // (a refusal, or equal sizes), with the target untouched: the caller
    // takes the whole source and calls ReduceHighQuality. `rowsAhead` is how
    // many rows the writer may put in after SourceRow before reporting them
    // through RowsWritten. May throw std::bad_alloc.
    bool Begin(int sourceWidth, int sourceHeight, Bitmap& target, int width, int height,
               int rowsAhead);
    // Where source row y is written (sourceWidth x 3 bytes, B-G-R), in order.
    std::uint8_t* SourceRow(int y);
    // Source rows 0 .. y - 1 are written: reduces target rows whose source
    // rows are all in, a band at a time (all of them once y is the source's
    // height). Returns how many target rows are final.
    int RowsWritten(int y);

  private:
    std::unique_ptr<HighQualityReducer> reducer_;
    std::vector<std::uint8_t, PixelAllocator<std::uint8_t>> ring_;  // not cleared: written first
    int sourceHeight_ = 0;
    int rowsAhead_ = 1;
    int next_ = 0;  // first target row not yet reduced
};
