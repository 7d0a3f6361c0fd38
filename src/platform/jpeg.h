#pragma once
// JPEG decoding and encoding on libjpeg-turbo (libjpeg API): 24-bit bitmaps,
// baseline JFIF with the APP0 segment right after the start-of-image marker.
// Nothing here prints, exits or throws; failures come back as results.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/host.h"

// The largest picture the program decodes: a header announcing more is
// refused before any pixel memory is taken.
constexpr int kMaxJpegSide = 20000;
constexpr long long kMaxJpegPixels = 200'000'000LL;
// Each scan of a progressive file walks the whole picture again: a small file
// of thousands of scans would keep the decoder busy for minutes. Encoders
// write a few dozen at most.
constexpr int kMaxJpegScans = 200;

// True when a picture of width x height is within both limits above.
bool JpegDimensionsAllowed(long long width, long long height);

// 0: decoded into `out` (any previous content replaced); -1: the file cannot
// be opened (or is not a regular file); -2: not a decodable JPEG, truncated,
// too large or of more than kMaxJpegScans scans. `error`, when given, receives
// a short reason in the program's language. The rows are decoded straight
// into `out`, reusing its memory; on a failure `out` is left empty (0 x 0, its
// memory kept). `yield` is called from the calling thread between bands of
// rows and about every 50 ms of a progressive file's input passes.
int DecodeJpegFile(const std::string& path, Bitmap& out, std::string* error = nullptr,
                   const YieldFn& yield = {});
int DecodeJpegMemory(const std::uint8_t* data, std::size_t size, Bitmap& out,
                     std::string* error = nullptr, const YieldFn& yield = {});

// Decoding into rows the caller places, for a caller that works on the rows
// as they come out (a reduction that never holds the whole picture).
class JpegRowConsumer {
  public:
    virtual ~JpegRowConsumer() = default;
    // Once the header is read and the size allowed, before any row, with
    // the file's EXIF orientation (JpegExifOrientation: 1 ... 8, 1 when
    // none); may throw std::bad_alloc (the decode then fails with the
    // no-memory reason).
    virtual void Begin(int width, int height, int exifOrientation) = 0;
    // Where row y goes: width x 3 bytes, B-G-R. Rows are asked for in order,
    // at most kJpegRowsPerStep of them before the next RowsDone.
    virtual std::uint8_t* Row(int y) = 0;
    // Rows 0 .. y - 1 hold their final pixels.
    virtual void RowsDone(int y) = 0;
};
constexpr int kJpegRowsPerStep = 16;

// DecodeJpegFile for a row consumer, with the same results, reasons and
// yields. After a failure the rows already handed over are not to be used.
// An exception from the consumer passes out of the call.
int DecodeJpegFileRows(const std::string& path, JpegRowConsumer& consumer,
                       std::string* error = nullptr, const YieldFn& yield = {});

// Baseline JFIF at quality 0..100 (clamped). 0: written; -1: the file cannot
// be created or written; -2: encoding failed (e.g. an empty bitmap).
// `densityDpi` in 1..65535 goes into the JFIF header as the print density
// (dots per inch, X and Y), so the file is complete as written; any other
// value leaves the encoder's default there (no unit, aspect 1:1).
int EncodeJpegFile(const std::string& path, const Bitmap& image, int quality,
                   std::string* error = nullptr, int densityDpi = 0);
int EncodeJpegMemory(const Bitmap& image, int quality, std::vector<std::uint8_t>& out,
                     std::string* error = nullptr, int densityDpi = 0);
// The luminance of `image` alone, as a one-component JPEG working file (see
// WriteWorkingFile: written in place, not flushed to the disk). Decoded to
// grey it gives exactly what EncodeJpegFile's colour file gives decoded to
// grey, at about half the work on either side (no chroma to code or to skip).
int EncodeJpegGreyWorkingFile(const std::string& path, const Bitmap& image, int quality,
                              std::string* error = nullptr);
