#pragma once
// The EXIF Orientation tag of a JPEG: how the camera was held, as the number
// 1 ... 8 of the TIFF standard (1 = as stored). Phones store portraits turned
// and set this tag instead of turning the pixels.
#include <cstddef>
#include <cstdint>
#include <string>

// 1 ... 8 from the first APP1 "Exif" segment before the scan; 1 when there is
// none or it is malformed. Reads nothing outside [data, data + size).
int JpegExifOrientation(const std::uint8_t* data, std::size_t size);

// The same for a file, reading only its head (the tag lies in the first
// segments); 1 when the file cannot be read.
int ReadJpegExifOrientation(const std::string& path);
