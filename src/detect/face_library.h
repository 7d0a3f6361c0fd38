#pragma once
// The face-detection library as the framing pass sees it: loaded for one
// pass, its three functions called, released at the end. `FaceLibrary` is the
// real one (dlopen of the program folder's shared library); tests give their
// own `IFaceLibrary`.
#include <string>

// Results of Load.
constexpr int kFaceLibraryNotLoaded = -3;
constexpr int kFaceLibraryNoSetMinSize = -4;
constexpr int kFaceLibraryNoGetRect = -5;
constexpr int kFaceLibraryNoFaceDetect = -6;
// A pass that caught an exception while the library was in use.
constexpr int kFaceLibraryException = -7;

class IFaceLibrary {
  public:
    virtual ~IFaceLibrary() = default;
    // 0, or kFaceLibraryNotLoaded .. kFaceLibraryNoFaceDetect (nothing held then).
    virtual int Load() = 0;
    // Idempotent; safe when nothing is loaded.
    virtual void Release() = 0;
    virtual void SetMinSize(int width, int height) = 0;
    // Paths are absolute UTF-8. 0 or -7 mean "no failure".
    virtual int FaceDetect(const std::string& imagePath, const std::string& cascadePath, int pass,
                           int accuracy) = 0;
    // item -1, index -1: count; item 0..3: left, top, right, bottom of detection `index`.
    virtual int GetRect(int item, int index) = 0;
};

// The library's file name in the program folder.
std::string FaceLibraryFileName();

class FaceLibrary : public IFaceLibrary {
  public:
    // `path`: the library file (absolute), usually appDir + FaceLibraryFileName().
    explicit FaceLibrary(std::string path);
    ~FaceLibrary() override;
    FaceLibrary(const FaceLibrary&) = delete;
    FaceLibrary& operator=(const FaceLibrary&) = delete;

    int Load() override;
    void Release() override;
    void SetMinSize(int width, int height) override;
    int FaceDetect(const std::string& imagePath, const std::string& cascadePath, int pass,
                   int accuracy) override;
    int GetRect(int item, int index) override;
    bool Loaded() const { return handle_ != nullptr; }

  private:
    using SetMinSizeFn = void (*)(int, int);
    using FaceDetectFn = int (*)(const char*, int, const char*, int, int);
    using GetRectFn = int (*)(int, int);

    std::string path_;
    void* handle_ = nullptr;
    SetMinSizeFn setMinSize_ = nullptr;
    FaceDetectFn faceDetect_ = nullptr;
    GetRectFn getRect_ = nullptr;
};

// The message for a Load or exception failure (-3 .. -7); "" for other values.
std::string FaceLibraryMessage(int code);
