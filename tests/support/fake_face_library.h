#pragma once
// A test double of the face library's three functions: answers are set per
// search (face pass 0, face pass 1, chin) and every call is recorded.
#include <stdexcept>
#include <string>
#include <vector>

#include "detect/face_library.h"
#include "platform/bitmap.h"
#include "platform/text_format.h"

struct FakeAnswer {
    int code = 0;
    std::vector<PixelRect> rects;
};

class FakeFaceLibrary : public IFaceLibrary {
  public:
    int Load() override {
        calls.push_back("load");
        loaded = loadCode == 0;
        return loadCode;
    }
    void Release() override {
        if (loaded) calls.push_back("release");
        loaded = false;
    }
    void SetMinSize(int w, int h) override { calls.push_back(FormatText("min %d %d", w, h)); }
    int FaceDetect(const std::string& image, const std::string& cascade, int pass,
                   int accuracy) override {
        const bool chin = cascade.find("ago.xml") != std::string::npos;
        calls.push_back(FormatText("%s %d %d", chin ? "chin" : "face", pass, accuracy));
        images.push_back(image);
        if (throwOnDetect) throw std::runtime_error("library fault");
        const FakeAnswer& a = chin ? chinAnswer : (pass == 1 ? second : first);
        current = a.rects;
        return a.code;
    }
    int GetRect(int item, int index) override {
        if (item == -1 && index == -1) return static_cast<int>(current.size());
        if (index < 0 || index >= static_cast<int>(current.size())) return 0;
        const PixelRect& r = current[static_cast<std::size_t>(index)];
        switch (item) {
            case 0:
                return r.left;
            case 1:
                return r.top;
            case 2:
                return r.right;
            case 3:
                return r.bottom;
            default:
                return 0;
        }
    }
    int Count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) n += c == call;
        return n;
    }

    int loadCode = 0;
    bool throwOnDetect = false;
    FakeAnswer first, second, chinAnswer;
    std::vector<std::string> calls;
    std::vector<std::string> images;
    std::vector<PixelRect> current;
    bool loaded = false;
};
