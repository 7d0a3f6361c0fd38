#include "imaging/rotation_angle.h"

#include "platform/text_format.h"

std::string AngleBoxText(int tenths) {
    // The product is rounded to single precision first: 0.1 degree shows
    // the float's full expansion, not "0.1".
    const float degrees = static_cast<float>(tenths) * 0.1f;
    return FormatText("%.15g", static_cast<double>(degrees));
}

std::string RotationStatusText(int tenths) {
    return FormatText("回転角 %f", NormalisedAngle(tenths) * 0.1);
}
