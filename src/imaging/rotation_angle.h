#pragma once
// The photo's angle: whole tenths of a degree, positive clockwise.
#include <string>

// The angle the rotation buttons keep: the remainder of a division by 3600
// with the sign of the dividend (-900 stays -900, 3600 becomes 0).
inline int KeptAngle(int tenths) {
    return tenths % 3600;
}

// The angle the rotation runs with: 0 ... 3599 (-1 becomes 3599).
inline int NormalisedAngle(int tenths) {
    return ((tenths % 3600) + 3600) % 3600;
}

// The angle box's text: tenths x 0.1 in single precision, printed with up to
// 15 significant digits without trailing zeros ("-90", "0.5",
// "0.100000001490116", "0").
std::string AngleBoxText(int tenths);

// The status text after a rotation: "回転角 " and the normalised angle in
// degrees with six decimals.
std::string RotationStatusText(int tenths);
