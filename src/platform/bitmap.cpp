#include "platform/bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Huge pages are 2 MB on the machines this runs on; smaller blocks gain little.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kHugePageWorthy = 2 * kHugePage;

}  // namespace

// Through the global operator new, like every other allocation, so that an
// out-of-memory condition reaches the bitmaps the same way. A huge-page block
// is over-allocated by one page (and a pointer) and aligned inside; the start of the
// allocation is kept just before the aligned block.
void* AllocatePixelMemory(std::size_t bytes) {
#ifdef __linux__
    if (bytes >= kHugePageWorthy) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        auto* raw = static_cast<std::byte*>(::operator new(rounded + kHugePage + sizeof(void*)));
        const auto address = reinterpret_cast<std::uintptr_t>(raw + sizeof(void*));
        auto* block = raw + (sizeof(void*) + (kHugePage - address % kHugePage) % kHugePage);
        std::memcpy(block - sizeof(void*), &raw, sizeof(void*));
        madvise(block, rounded, MADV_HUGEPAGE);  // a hint: failure changes nothing
        return block;
    }
#endif
    return ::operator new(bytes ? bytes : 1);
}

void FreePixelMemory(void* block, std::size_t bytes) noexcept {
#ifdef __linux__
    if (bytes >= kHugePageWorthy) {
        void* raw;
        std::memcpy(&raw, static_cast<std::byte*>(block) - sizeof(void*), sizeof(void*));
        ::operator delete(raw);
        return;
    }
#endif
    (void)bytes;
    ::operator delete(block);
}

void Bitmap::SetSizeForOverwrite(int width, int height) {
    const int w = std::max(width, 0), h = std::max(height, 0);
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 3;
    if (bytes > data_.capacity()) {
        // A fresh block without copying the old pixels, which are not wanted;
        // taken before the old one goes, so a failure changes nothing.
        decltype(data_) fresh;
        fresh.resize(bytes);
        data_.swap(fresh);
    } else {
        data_.resize(bytes);
    }
    width_ = w;
    height_ = h;
}

void Bitmap::SetSize(int width, int height, Rgb fill) {
    SetSizeForOverwrite(width, height);
    Fill(fill);
}

void Bitmap::Fill(Rgb c) {
    if (data_.empty()) return;
    if (c.r == c.g && c.g == c.b) {
        std::memset(data_.data(), c.r, data_.size());
        return;
    }
    for (std::size_t i = 0; i + 2 < data_.size(); i += 3) {
        data_[i] = c.b;
        data_[i + 1] = c.g;
        data_[i + 2] = c.r;
    }
}

void Bitmap::FillRect(const PixelRect& rect, Rgb c) {
    const int x0 = std::max(rect.left, 0), x1 = std::min(rect.right, width_);
    const int y0 = std::max(rect.top, 0), y1 = std::min(rect.bottom, height_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) SetPixel(x, y, c);
}

void CopyRect(const Bitmap& from, const PixelRect& src, Bitmap& to, int dstX, int dstY) {
    int sx = std::max(src.left, 0), sy = std::max(src.top, 0);
    int ex = std::min(src.right, from.Width()), ey = std::min(src.bottom, from.Height());
    // Shift the destination by what was cut at the source's top-left.
    int dx = dstX + (sx - src.left), dy = dstY + (sy - src.top);
    if (dx < 0) {
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        dy = 0;
    }
    ex = std::min(ex, sx + (to.Width() - dx));
    ey = std::min(ey, sy + (to.Height() - dy));
    if (ex <= sx || ey <= sy) return;
    const std::size_t bytes = static_cast<std::size_t>(ex - sx) * 3;
    if (&from == &to) {
        // Same bitmap: memmove row by row in the safe direction.
        if (dy > sy) {
            for (int y = ey - 1; y >= sy; --y)
                std::memmove(to.Row(dy + y - sy) + dx * 3, from.Row(y) + sx * 3, bytes);
            return;
        }
        for (int y = sy; y < ey; ++y)
            std::memmove(to.Row(dy + y - sy) + dx * 3, from.Row(y) + sx * 3, bytes);
        return;
    }
    for (int y = sy; y < ey; ++y)
        std::memcpy(to.Row(dy + y - sy) + dx * 3, from.Row(y) + sx * 3, bytes);
}

void Draw(const Bitmap& from, Bitmap& to, int dstX, int dstY) {
    CopyRect(from, {0, 0, from.Width(), from.Height()}, to, dstX, dstY);
}

void StretchDraw(const Bitmap& from, const PixelRect& src, Bitmap& to, const PixelRect& dst) {
    const int sw = src.Width(), sh = src.Height(), dw = dst.Width(), dh = dst.Height();
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    const Bitmap* source = &from;
    Bitmap copy;
    if (&from == &to) {  // stretching a bitmap onto itself reads the original pixels
        copy = from;
        source = &copy;
    }
    const int y0 = std::max(dst.top, 0), y1 = std::min(dst.bottom, to.Height());
    const int x0 = std::max(dst.left, 0), x1 = std::min(dst.right, to.Width());
    std::vector<int> columns(std::max(x1 - x0, 0));
    for (int x = x0; x < x1; ++x)
        columns[x - x0] =
            src.left + static_cast<int>(static_cast<long long>(x - dst.left) * sw / dw);
    for (int y = y0; y < y1; ++y) {
        const int syy = src.top + static_cast<int>(static_cast<long long>(y - dst.top) * sh / dh);
        if (syy < 0 || syy >= source->Height()) continue;
        const std::uint8_t* srow = source->Row(syy);
        std::uint8_t* drow = to.Row(y);
        for (int x = x0; x < x1; ++x) {
            const int sxx = columns[x - x0];
            if (sxx < 0 || sxx >= source->Width()) continue;
            std::memcpy(drow + x * 3, srow + sxx * 3, 3);
        }
    }
}

void StretchDraw(const Bitmap& from, Bitmap& to) {
    StretchDraw(from, {0, 0, from.Width(), from.Height()}, to, {0, 0, to.Width(), to.Height()});
}

void DrawLine(Bitmap& to, int x0, int y0, int x1, int y1, Rgb colour) {
    // Bresenham; the last point is left out, as a pen's line-to leaves it.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        to.PutPixel(x, y, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += stepX;
        }
        if (e2 <= dx) {
            err += dx;
            y += stepY;
        }
    }
}

void FrameRect(Bitmap& to, const PixelRect& r, Rgb colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    to.FillRect({r.left, r.top, r.right, r.top + 1}, colour);
    to.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, colour);
    to.FillRect({r.left, r.top, r.left + 1, r.bottom}, colour);
    to.FillRect({r.right - 1, r.top, r.right, r.bottom}, colour);
}
