#pragma once
// The crop frame's overlay picture: pure blue (the see-through key colour)
// with a red one-pixel border.
#include "platform/bitmap.h"

// Fills (0, 0, w, h) of `picture` pure blue, outlines (0, 0, w, h) in pure red
// (with `zoomVariant`, (0, 0, w, h - 1): the bottom edge one row higher) and
// resets the bottom-left pixel (0, h - 1) to blue so that it keys the
// transparency. Drawing is clipped to the picture. Returns the outlined rectangle.
PixelRect DrawFrameOverlay(Bitmap& picture, int w, int h, bool zoomVariant);
