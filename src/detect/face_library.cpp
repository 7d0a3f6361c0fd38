#include "detect/face_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <utility>

#include "platform/paths.h"

namespace {

#ifdef _WIN32
void* OpenLibrary(const std::string& path) {
    return reinterpret_cast<void*>(LoadLibraryW(ToFsPath(path).c_str()));
}
void* Symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* OpenLibrary(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* handle, const char* name) {
    return dlsym(handle, name);
}
void CloseLibrary(void* handle) {
    dlclose(handle);
}
#endif

}  // namespace

std::string FaceLibraryFileName() {
#ifdef _WIN32
    return "facedetect.dll";
#else
    return "libfacedetect.so";
#endif
}

FaceLibrary::FaceLibrary(std::string path) : path_(std::move(path)) {}

FaceLibrary::~FaceLibrary() {
    Release();
}

int FaceLibrary::Load() {
    Release();
    handle_ = OpenLibrary(path_);
    if (!handle_) return kFaceLibraryNotLoaded;
    setMinSize_ = reinterpret_cast<SetMinSizeFn>(Symbol(handle_, "setMinSize"));
    getRect_ = reinterpret_cast<GetRectFn>(Symbol(handle_, "getRect"));
    faceDetect_ = reinterpret_cast<FaceDetectFn>(Symbol(handle_, "facedetect"));
    int code = 0;
    if (!setMinSize_)
        code = kFaceLibraryNoSetMinSize;
    else if (!getRect_)
        code = kFaceLibraryNoGetRect;
    else if (!faceDetect_)
        code = kFaceLibraryNoFaceDetect;
    if (code != 0) Release();
    return code;
}

void FaceLibrary::Release() {
    if (handle_) CloseLibrary(handle_);
    handle_ = nullptr;
    setMinSize_ = nullptr;
    getRect_ = nullptr;
    faceDetect_ = nullptr;
}

void FaceLibrary::SetMinSize(int width, int height) {
    if (setMinSize_) setMinSize_(width, height);
}

int FaceLibrary::FaceDetect(const std::string& imagePath, const std::string& cascadePath, int pass,
                            int accuracy) {
    // A call without the library is a failure of the library, not a result.
    if (!faceDetect_) return kFaceLibraryNotLoaded;
    return faceDetect_(imagePath.c_str(), 0, cascadePath.c_str(), pass, accuracy);
}

int FaceLibrary::GetRect(int item, int index) {
    return getRect_ ? getRect_(item, index) : 0;
}

std::string FaceLibraryMessage(int code) {
    switch (code) {
        case kFaceLibraryNotLoaded:
            return "DLLの読み込みに失敗しました。(1)";
        case kFaceLibraryNoSetMinSize:
            return "関数のアドレスの取得に失敗しました。1";
        case kFaceLibraryNoGetRect:
            return "関数のアドレスの取得に失敗しました。2";
        case kFaceLibraryNoFaceDetect:
            return "関数のアドレスの取得に失敗しました。3";
        case kFaceLibraryException:
            return "DLLの読み込みに失敗しました。";
        default:
            return {};
    }
}
