#pragma once
// A 24-bit picture: width x height pixels, three bytes per pixel in the order
// blue, green, red, rows top to bottom with no padding between them.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// 0x00RRGGBB, the form the pixel grids and colour comparisons use.
inline std::uint32_t PackRgb(Rgb c) {
    return (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
}
inline Rgb UnpackRgb(std::uint32_t v) {
    return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kPureBlue{0, 0, 255};
constexpr Rgb kPureRed{255, 0, 0};

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Pixel memory: a growing buffer leaves its new bytes as they are (every
// user writes pixels before reading them, so clearing them first only costs
// time: on a 12-megapixel photo as much as the decode itself), and blocks of
// a few megabytes or more ask the system for huge pages, which take one page
// fault where small pages take five hundred.
void* AllocatePixelMemory(std::size_t bytes);
void FreePixelMemory(void* block, std::size_t bytes) noexcept;

template <typename T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <typename U>
    PixelAllocator(const PixelAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocatePixelMemory(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreePixelMemory(p, n * sizeof(T)); }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;  // default-initialised: left as it is
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
    }
    friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

class Bitmap {
  public:
    Bitmap() = default;
    Bitmap(int width, int height, Rgb fill = kBlack) { SetSize(width, height, fill); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    int Stride() const { return width_ * 3; }

    // Resizes to width x height (negative sizes count as 0) and fills it with
    // `fill`. The memory is kept when the picture gets smaller, so a bitmap
    // reused for photo after photo stops allocating once it has held the
    // largest. A failed allocation leaves the bitmap as it was.
    void SetSize(int width, int height, Rgb fill);
    // The same without the fill, for a bitmap whose every pixel is written
    // next: its content is unspecified until then.
    void SetSizeForOverwrite(int width, int height);
    // Bytes held for pixels (at least width x height x 3).
    std::size_t Capacity() const { return data_.capacity(); }
    void Fill(Rgb colour);
    void FillRect(const PixelRect& rect, Rgb colour);  // clipped to the bitmap

    std::uint8_t* Row(int y) { return data_.data() + static_cast<std::size_t>(y) * Stride(); }
    const std::uint8_t* Row(int y) const {
        return data_.data() + static_cast<std::size_t>(y) * Stride();
    }
    std::uint8_t* Data() { return data_.data(); }
    const std::uint8_t* Data() const { return data_.data(); }

    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    Rgb Pixel(int x, int y) const {
        const std::uint8_t* p = Row(y) + x * 3;
        return {p[2], p[1], p[0]};
    }
    void SetPixel(int x, int y, Rgb c) {
        std::uint8_t* p = Row(y) + x * 3;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
    // Set only when inside the bitmap.
    void PutPixel(int x, int y, Rgb c) {
        if (Contains(x, y)) SetPixel(x, y, c);
    }

    friend bool operator==(const Bitmap& a, const Bitmap& b) {
        return a.width_ == b.width_ && a.height_ == b.height_ && a.data_ == b.data_;
    }

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t, PixelAllocator<std::uint8_t>> data_;
};

// Copies the rectangle `src` of `from` so that its top-left corner lands on
// (dstX, dstY) of `to`; whatever falls outside either bitmap is cut off.
void CopyRect(const Bitmap& from, const PixelRect& src, Bitmap& to, int dstX, int dstY);
// Copies the whole of `from` onto `to` at (dstX, dstY), clipped.
void Draw(const Bitmap& from, Bitmap& to, int dstX, int dstY);
// Nearest-pixel stretch of the rectangle `src` of `from` onto the rectangle
// `dst` of `to` (pixels repeated or dropped, no averaging), clipped to `to`.
void StretchDraw(const Bitmap& from, const PixelRect& src, Bitmap& to, const PixelRect& dst);
// Whole picture onto the whole target.
void StretchDraw(const Bitmap& from, Bitmap& to);
// A one-pixel line from (x0, y0) towards (x1, y1); the end point itself is
// not drawn. Clipped to the bitmap.
void DrawLine(Bitmap& to, int x0, int y0, int x1, int y1, Rgb colour);
// One-pixel outline just inside `rect` (its right column is rect.right - 1,
// its bottom row rect.bottom - 1). Clipped to the bitmap.
void FrameRect(Bitmap& to, const PixelRect& rect, Rgb colour);
