#include "platform/jpeg.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdlib>
#include <new>

#include "platform/exif_orientation.h"
#include "platform/file_write.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {

// Why a libjpeg call was abandoned.
enum class Failure { None, NotJpeg, Truncated, Damaged, Broken, TooManyScans };

const char* const kReasonCannotOpen = "ファイルを開けません";
const char* const kReasonEmptyFile = "ファイルが空です";
const char* const kReasonNotJpeg = "JPEGファイルではありません";
const char* const kReasonTruncated = "JPEGファイルが途中で切れています";
const char* const kReasonDamaged = "JPEGファイルのデータが壊れています";
const char* const kReasonBroken = "JPEGファイルとして読み込めません";
const char* const kReasonTooLarge = "画像サイズが大きすぎます";
const char* const kReasonTooManyScans = "JPEGファイルのスキャン数が多すぎます";
const char* const kReasonEmptyImage = "画像が空です";
const char* const kReasonEncode = "JPEGの圧縮に失敗しました";
const char* const kReasonWrite = "ファイルを書き込めません";

// The one error manager of the codec. Fatal errors and the warnings that
// mean lost picture data leave the libjpeg call through longjmp back into the
// small function that set the jump; nothing is ever printed.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Failure failure;
};

[[noreturn]] void Abandon(j_common_ptr cinfo, Failure failure) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->failure = failure;
    std::longjmp(err->jump, 1);
}

void ErrorExit(j_common_ptr cinfo) {
    const int code = cinfo->err->msg_code;
    const bool notJpeg = code == JERR_NO_SOI || code == JERR_INPUT_EMPTY;
    Abandon(cinfo, notJpeg ? Failure::NotJpeg : Failure::Broken);
}

// Level -1 is a warning, higher levels are trace messages.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
        case JWRN_JPEG_EOF:  // libjpeg would pad the rest with grey
            Abandon(cinfo, Failure::Truncated);
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
            Abandon(cinfo, Failure::Damaged);
        default:
            ++cinfo->err->num_warnings;
    }
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    err.failure = Failure::None;
}

const char* ReasonOf(Failure failure) {
    switch (failure) {
        case Failure::NotJpeg:
            return kReasonNotJpeg;
        case Failure::Truncated:
            return kReasonTruncated;
        case Failure::Damaged:
            return kReasonDamaged;
        case Failure::TooManyScans:
            return kReasonTooManyScans;
        default:
            return kReasonBroken;
    }
}

void SetReason(std::string* error, const char* reason) {
    if (error) *error = reason;
}

// ---- decoding ---------------------------------------------------------------

// libjpeg calls the progress monitor between rows and, while it reads a
// progressive file, between the rows of every scan: the place to stop a
// file of absurdly many scans and to let the window breathe.
constexpr auto kYieldInterval = std::chrono::milliseconds(50);

struct ProgressMonitor {
    jpeg_progress_mgr pub;
    const YieldFn* yield;
    std::chrono::steady_clock::time_point lastYield;
};

void OnProgress(j_common_ptr cinfo) {
    auto* monitor = reinterpret_cast<ProgressMonitor*>(cinfo->progress);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        Abandon(cinfo, Failure::TooManyScans);
    if (!*monitor->yield) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - monitor->lastYield < kYieldInterval) return;
    bool thrown = false;
    try {
        (*monitor->yield)();
    } catch (...) {
        thrown = true;  // never unwind through libjpeg's frames
    }
    if (thrown) Abandon(cinfo, Failure::Broken);
    monitor->lastYield = std::chrono::steady_clock::now();
}
// The functions holding a setjmp own nothing with a destructor: they take the
// libjpeg structures and raw buffers from their caller.

// Reads the header and chooses the output colours. B-G-R straight from the
// library for grey, RGB and YCbCr files; CMYK and YCCK come as CMYK and are
// converted here.
Failure ReadHeaderRaw(jpeg_decompress_struct* cinfo, ErrorManager* err, const unsigned char* data,
                      unsigned long size) {
    if (setjmp(err->jump)) return err->failure;
    jpeg_mem_src(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    return Failure::None;
}

inline std::uint8_t Scale255(unsigned a, unsigned b) {
    return std::uint8_t((a * b + 127) / 255);
}

// Adobe applications write CMYK inverted (0 = full ink) and mark the file
// with an Adobe segment; other writers store plain ink amounts.
void CmykRowToBgr(const unsigned char* cmyk, unsigned char* bgr, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = Scale255(y, k);
        bgr[1] = Scale255(m, k);
        bgr[2] = Scale255(c, k);
    }
}

constexpr int kRowsPerCall = kJpegRowsPerStep;

// Rows decoded between two yields: about two million pixels, a few tens of
// milliseconds of decoding.
unsigned BandRows(unsigned width) {
    const unsigned rows = (2u << 20) / (width ? width : 1);
    return rows < kRowsPerCall ? kRowsPerCall : rows;
}

// Where the decoded rows go and when the caller gets a turn.
struct RowSink {
    JpegRowConsumer* consumer;
    const YieldFn* yield;
    unsigned band = 0;       // rows between yields
    unsigned nextYield = 0;  // output row after which the next yield comes
};

// libjpeg hands out rows in steps of its own choosing, so the band ends at
// the first step past its nominal end.
void AfterStep(const jpeg_decompress_struct* cinfo, RowSink& sink) {
    const unsigned done = cinfo->output_scanline;
    sink.consumer->RowsDone(static_cast<int>(done));
    if (!*sink.yield || done < sink.nextYield || done >= cinfo->output_height) return;
    (*sink.yield)();
    sink.nextYield = done + sink.band;
}

void ReadBgrRows(jpeg_decompress_struct* cinfo, RowSink& sink) {
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW rows[kRowsPerCall];
        const unsigned first = cinfo->output_scanline;
        unsigned count = cinfo->output_height - first;
        if (count > kRowsPerCall) count = kRowsPerCall;
        for (unsigned i = 0; i < count; ++i) rows[i] = sink.consumer->Row(int(first + i));
        jpeg_read_scanlines(cinfo, rows, count);
        AfterStep(cinfo, sink);
    }
}

void ReadCmykRows(jpeg_decompress_struct* cinfo, RowSink& sink) {
    JSAMPARRAY line = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                  JPOOL_IMAGE, cinfo->output_width * 4, 1);
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
        unsigned char* row = sink.consumer->Row(int(cinfo->output_scanline));
        jpeg_read_scanlines(cinfo, line, 1);
        CmykRowToBgr(line[0], row, cinfo->output_width, inverted);
        AfterStep(cinfo, sink);
    }
}

// The yield runs between libjpeg calls, never while one is on the stack, so
// an error inside libjpeg cannot jump over it.
Failure ReadPixelsRaw(jpeg_decompress_struct* cinfo, ErrorManager* err, RowSink* sink) {
    if (setjmp(err->jump)) return err->failure;
    jpeg_start_decompress(cinfo);
    sink->band = sink->nextYield = BandRows(cinfo->output_width);
    if (cinfo->out_color_space == JCS_CMYK)
        ReadCmykRows(cinfo, *sink);
    else
        ReadBgrRows(cinfo, *sink);
    jpeg_finish_decompress(cinfo);
    return Failure::None;
}

// Owns the decompressor for one decode; destroyed on every way out.
struct Decoder {
    ErrorManager err;
    jpeg_decompress_struct cinfo;
    Decoder() {
        InstallErrorManager(err);
        cinfo.err = &err.pub;
        jpeg_create_decompress(&cinfo);
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

int DecodeInto(const std::uint8_t* data, std::size_t size, JpegRowConsumer& consumer,
               std::string* error, const YieldFn& yield) {
    if (size == 0) {
        SetReason(error, kReasonEmptyFile);
        return -2;
    }
    Decoder d;
    Failure f = ReadHeaderRaw(&d.cinfo, &d.err, data, static_cast<unsigned long>(size));
    if (f != Failure::None) {
        SetReason(error, ReasonOf(f));
        return -2;
    }
    if (!JpegDimensionsAllowed(d.cinfo.image_width, d.cinfo.image_height)) {
        SetReason(error, kReasonTooLarge);
        return -2;
    }
    try {
        consumer.Begin(int(d.cinfo.image_width), int(d.cinfo.image_height),
                       JpegExifOrientation(data, size));
    } catch (const std::bad_alloc&) {
        SetReason(error, kNoMemoryReason);
        return -2;
    }
    ProgressMonitor monitor{{}, &yield, std::chrono::steady_clock::now()};
    monitor.pub.progress_monitor = OnProgress;
    d.cinfo.progress = &monitor.pub;
    RowSink sink{&consumer, &yield};
    f = ReadPixelsRaw(&d.cinfo, &d.err, &sink);
    if (f != Failure::None) {
        SetReason(error, ReasonOf(f));
        return -2;
    }
    return 0;
}

// The whole picture into a bitmap, reusing its memory.
class BitmapRows : public JpegRowConsumer {
  public:
    explicit BitmapRows(Bitmap& out) : out_(out) {}
    void Begin(int width, int height, int) override { out_.SetSizeForOverwrite(width, height); }
    std::uint8_t* Row(int y) override { return out_.Row(y); }
    void RowsDone(int) override {}

  private:
    Bitmap& out_;
};

// No half-decoded picture is ever handed back.
int Decode(const std::uint8_t* data, std::size_t size, Bitmap& out, std::string* error,
           const YieldFn& yield) {
    BitmapRows rows(out);
    const int result = DecodeInto(data, size, rows, error, yield);
    if (result != 0) out.SetSizeForOverwrite(0, 0);
    return result;
}

// The file's bytes: 0, or -1 / -2 with the reason set.
int ReadJpegBytes(const std::string& path, std::string& bytes, std::string* error) {
    try {
        if (!ReadFileBytes(path, bytes)) {
            SetReason(error, kReasonCannotOpen);
            return -1;
        }
    } catch (const std::bad_alloc&) {
        SetReason(error, kNoMemoryReason);
        return -2;
    }
    return 0;
}

// ---- encoding ---------------------------------------------------------------

// What the encoder is asked for besides the pixels.
struct EncodeSettings {
    int quality;
    bool grey;
    int densityDpi;  // 1..65535, else the encoder's default density
};

bool DensityInRange(int dpi) {
    return dpi > 0 && dpi < 65536;
}

Failure EncodeRaw(jpeg_compress_struct* cinfo, ErrorManager* err, const unsigned char* pixels,
                  int width, int height, const EncodeSettings* settings, unsigned char** buffer,
                  unsigned long* size) {
    if (setjmp(err->jump)) return err->failure;
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = JDIMENSION(width);
    cinfo->image_height = JDIMENSION(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);  // YCbCr, JFIF APP0 right after SOI, sequential
    // Luminance alone: the same conversion, tables and coefficients as the
    // colour file's first component, without its two chroma components.
    if (settings->grey) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (DensityInRange(settings->densityDpi)) {
        cinfo->density_unit = 1;  // dots per inch
        cinfo->X_density = cinfo->Y_density = static_cast<UINT16>(settings->densityDpi);
    }
    jpeg_set_quality(cinfo, settings->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    const std::size_t stride = std::size_t(width) * 3;
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW rows[kRowsPerCall];
        const unsigned first = cinfo->next_scanline;
        unsigned count = cinfo->image_height - first;
        if (count > kRowsPerCall) count = kRowsPerCall;
        for (unsigned i = 0; i < count; ++i)
            rows[i] = const_cast<unsigned char*>(pixels + (first + i) * stride);
        jpeg_write_scanlines(cinfo, rows, count);
    }
    jpeg_finish_compress(cinfo);
    return Failure::None;
}

// Owns the compressor and the buffer the memory destination grows.
struct Encoder {
    ErrorManager err;
    jpeg_compress_struct cinfo;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Encoder() {
        InstallErrorManager(err);
        cinfo.err = &err.pub;
        jpeg_create_compress(&cinfo);
    }
    ~Encoder() {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

}  // namespace

bool JpegDimensionsAllowed(long long width, long long height) {
    return width > 0 && height > 0 && width <= kMaxJpegSide && height <= kMaxJpegSide &&
           width * height <= kMaxJpegPixels;
}

int DecodeJpegMemory(const std::uint8_t* data, std::size_t size, Bitmap& out, std::string* error,
                     const YieldFn& yield) {
    return Decode(data, data ? size : 0, out, error, yield);
}

int DecodeJpegFile(const std::string& path, Bitmap& out, std::string* error, const YieldFn& yield) {
    std::string bytes;
    const int read = ReadJpegBytes(path, bytes, error);
    if (read != 0) {
        out.SetSizeForOverwrite(0, 0);
        return read;
    }
    return Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out, error,
                  yield);
}

int DecodeJpegFileRows(const std::string& path, JpegRowConsumer& consumer, std::string* error,
                       const YieldFn& yield) {
    std::string bytes;
    const int read = ReadJpegBytes(path, bytes, error);
    if (read != 0) return read;
    return DecodeInto(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), consumer,
                      error, yield);
}

namespace {

int EncodeToMemory(const Bitmap& image, EncodeSettings settings, std::vector<std::uint8_t>& out,
                   std::string* error) {
    if (image.Empty()) {
        SetReason(error, kReasonEmptyImage);
        return -2;
    }
    settings.quality = std::clamp(settings.quality, 0, 100);
    Encoder e;
    const Failure f = EncodeRaw(&e.cinfo, &e.err, image.Data(), image.Width(), image.Height(),
                                &settings, &e.buffer, &e.size);
    if (f != Failure::None) {
        SetReason(error, kReasonEncode);
        return -2;
    }
    try {
        out.assign(e.buffer, e.buffer + e.size);
    } catch (const std::bad_alloc&) {
        SetReason(error, kNoMemoryReason);
        return -2;
    }
    return 0;
}

// How the coded bytes reach the file: whole and safely for outputs, plainly
// for the framing pass's working files.
using WriteFn = bool (*)(const std::string&, const void*, std::size_t);

int EncodeToFile(const std::string& path, const Bitmap& image, const EncodeSettings& settings,
                 WriteFn write, std::string* error) {
    std::vector<std::uint8_t> bytes;
    const int result = EncodeToMemory(image, settings, bytes, error);
    if (result != 0) return result;
    if (!write(path, bytes.data(), bytes.size())) {
        SetReason(error, kReasonWrite);
        return -1;
    }
    return 0;
}

}  // namespace

int EncodeJpegMemory(const Bitmap& image, int quality, std::vector<std::uint8_t>& out,
                     std::string* error, int densityDpi) {
    return EncodeToMemory(image, {quality, false, densityDpi}, out, error);
}

int EncodeJpegFile(const std::string& path, const Bitmap& image, int quality, std::string* error,
                   int densityDpi) {
    return EncodeToFile(path, image, {quality, false, densityDpi}, WriteFileWhole, error);
}

int EncodeJpegGreyWorkingFile(const std::string& path, const Bitmap& image, int quality,
                              std::string* error) {
    return EncodeToFile(path, image, {quality, true, 0}, WriteWorkingFile, error);
}
