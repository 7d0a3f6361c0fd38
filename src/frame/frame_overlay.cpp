#include "frame/frame_overlay.h"

PixelRect DrawFrameOverlay(Bitmap& picture, int w, int h, bool zoomVariant) {
    picture.FillRect({0, 0, w, h}, kPureBlue);
    const PixelRect border{0, 0, w, zoomVariant ? h - 1 : h};
    FrameRect(picture, border, kPureRed);
    picture.PutPixel(0, h - 1, kPureBlue);
    return border;
}
