#include "fd_jpeg.h"

#include <jpeglib.h>
// clang-format off
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include "fd_detector.h"
#include "fd_files.h"

namespace fd {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// One decompression; every libjpeg call sits in a function of its own that
// catches the library's error jump, so no C++ object lives across it.
class JpegSession {
  public:
    explicit JpegSession(const std::vector<unsigned char>& data) {
        cinfo_.err = jpeg_std_error(&err_.pub);
        err_.pub.error_exit = OnJpegError;
        err_.pub.output_message = IgnoreJpegMessage;
        jpeg_create_decompress(&cinfo_);
        data_ = &data;
    }
    ~JpegSession() { jpeg_destroy_decompress(&cinfo_); }
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;

    // The header announces a size libjpeg itself refuses: empty, or beyond
    // its 65500-pixel limit.
    bool SizeRefused() const {
        const int code = err_.pub.msg_code;
        return code == JERR_EMPTY_IMAGE || code == JERR_IMAGE_TOO_BIG;
    }
    bool ReadHeader() {
        if (setjmp(err_.jump)) return false;
        jpeg_mem_src(&cinfo_, data_->data(), static_cast<unsigned long>(data_->size()));
        jpeg_read_header(&cinfo_, TRUE);
        return true;
    }
    bool Start(int denominator) {
        if (setjmp(err_.jump)) return false;
        cinfo_.out_color_space = JCS_GRAYSCALE;
        cinfo_.scale_num = 1;
        cinfo_.scale_denom = static_cast<unsigned int>(denominator);
        jpeg_start_decompress(&cinfo_);
        return true;
    }
    bool ReadRows(cv::Mat& pixels) {
        if (setjmp(err_.jump)) return false;
        while (cinfo_.output_scanline < cinfo_.output_height) {
            JSAMPROW row = pixels.ptr<JSAMPLE>(static_cast<int>(cinfo_.output_scanline));
            jpeg_read_scanlines(&cinfo_, &row, 1);
        }
        jpeg_finish_decompress(&cinfo_);
        return true;
    }
    const jpeg_decompress_struct& Info() const { return cinfo_; }

  private:
    jpeg_decompress_struct cinfo_{};
    ErrorManager err_{};
    const std::vector<unsigned char>* data_ = nullptr;
};

bool GreyPossible(J_COLOR_SPACE space) {
    return space == JCS_GRAYSCALE || space == JCS_YCbCr || space == JCS_RGB;
}

}  // namespace

int DecodeJpegGray(const std::vector<unsigned char>& data, const DenominatorChooser& choose,
                   GrayPicture& out) {
    out = GrayPicture();
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return -2;
    JpegSession session(data);
    if (!session.ReadHeader()) return session.SizeRefused() ? -3 : -2;
    const auto& info = session.Info();
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxImageSide ||
        info.image_height > kMaxImageSide)
        return -3;
    if (!GreyPossible(info.jpeg_color_space)) return -2;
    const int width = static_cast<int>(info.image_width);
    const int height = static_cast<int>(info.image_height);
    int denominator = choose ? choose(width, height) : 1;
    if (denominator != 2 && denominator != 4 && denominator != 8) denominator = 1;
    if (!session.Start(denominator)) return -2;
    cv::Mat pixels(static_cast<int>(info.output_height), static_cast<int>(info.output_width),
                   CV_8UC1);
    if (!session.ReadRows(pixels)) return -2;
    out.pixels = pixels;
    out.fullWidth = width;
    out.fullHeight = height;
    return 0;
}

}  // namespace fd

namespace fd {

namespace {

int DenominatorFor(int width, int height, double reduction) {
    int denominator = 1;
    while (denominator < 8 && denominator * 2 <= reduction) denominator *= 2;
    while (denominator < 8 && std::max(width, height) > kMaxWorkSide * denominator)
        denominator *= 2;
    return denominator;
}

}  // namespace

int LoadGrayFile(const std::filesystem::path& path, double reduction, GrayPicture& out) {
    std::vector<unsigned char> data;
    if (ReadWholeFile(path, data) != 0) return kImageMissing;
    const int r = DecodeJpegGray(
        data, [reduction](int w, int h) { return DenominatorFor(w, h, reduction); }, out);
    if (r == -3) return kBadImageSize;
    return r == 0 ? kOk : kNotJpeg;
}

}  // namespace fd
