#include "fuzz_support.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <csetjmp>

namespace {

struct HeaderError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void Leave(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<HeaderError*>(cinfo->err)->jump, 1);
}

void Quiet(j_common_ptr, int) {}

// Owns nothing with a destructor: the jump may leave it at any call.
bool ReadSize(jpeg_decompress_struct* cinfo, HeaderError* err, const std::uint8_t* data,
              std::size_t size) {
    if (setjmp(err->jump)) return false;
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    return true;
}

}  // namespace

long long JpegAnnouncedPixels(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    HeaderError err;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = Leave;
    err.pub.emit_message = Quiet;
    jpeg_create_decompress(&cinfo);
    long long pixels = 0;
    if (ReadSize(&cinfo, &err, data, size))
        pixels = static_cast<long long>(cinfo.image_width) * cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}
