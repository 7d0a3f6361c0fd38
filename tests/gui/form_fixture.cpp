#include "gui/form_fixture.h"

std::string LayoutText(int width, int height, int count, int slotW, int slotH) {
    std::string text = "[Paper]\r\ndpi=300\r\nwidth=" + std::to_string(width) +
                       "\r\nheight=" + std::to_string(height) +
                       "\r\nphoto_ct=" + std::to_string(count) + "\r\n";
    for (int i = 0; i < count; ++i)
        text += "[Layout" + std::to_string(i) + "]\r\nwidth=" + std::to_string(slotW) +
                "\r\nheight=" + std::to_string(slotH) + "\r\ncx=300\r\ncy=400\r\n";
    return text;
}
