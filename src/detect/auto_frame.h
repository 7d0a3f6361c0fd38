#pragma once
// One automatic framing pass as a function of explicit inputs: the square
// working image, the options (read from the controls by the window, or from
// the command line by the batch command), the layout and the face library.
// It writes the temporary detection JPEG, runs the face search, the second
// search, the chin search and the head-top scan, saves the recognised face
// and its training line, and computes the photo box in square-image pixels.
// The window then turns that box into the crop frame; the batch command cuts
// it out. Nothing here changes the process's current folder, so passes may
// run side by side in threads (each with its own temporary image path).
#include <functional>
#include <string>
#include <vector>

#include "detect/face_library.h"
#include "detect/head_top.h"
#include "detect/head_top_contour.h"
#include "layout/layout.h"
#include "platform/bitmap.h"

// Every framing setting of the settings dialog and the window.
struct AutoFrameOptions {
    std::string appDir;         // program folder (cascade files), with trailing separator
    std::string tempImagePath;  // "" = DefaultTemporaryImagePath(appDir)

    bool upperHalfOnly = true;   // "画像の上半分のみを対象に検出する"
    bool findChin = true;        // "顎も検出する"
    bool sizeCheck = true;       // "画像の90％以上の場合は認識エラーとする"
    bool rotateRetry = false;    // "90度回転して再認識を行う" (the caller's retry loop)
    bool correctHeadTop = true;  // "背景色で頭頂位置を補正する"
    bool saveFace = true;        // "認識結果画像を保存"
    bool unattended = false;     // batch, continuous, skipping what cannot be recognised
    int accuracy = 3;            // 1..10
    int minFaceSize = 200;       // pixels
    int jpegQuality = 90;        // every JPEG written by the pass

    HeadTopSettings headTop;
    HeadTopFinder headTopFinder = FindHeadTop;
    // Where the final head top comes from: kBackground is the scan above
    // (applied when correctHeadTop is set), kContour the head's outline
    // ("頭頂位置を輪郭から検出する"; the estimate when the outline cannot be
    // found), kEstimate the fixed share of the face box (haar_top). The
    // plausibility tests of the searches always use the scan.
    HeadTopMethod headTopMethod = HeadTopMethod::kBackground;

    // Where the recognised face and the training list go.
    std::string saveFolder;  // the save-folder field; "" = below photoDir
    std::string photoDir;    // the photo's folder, with trailing separator
    std::string photoPath;   // the photo's full path (its name names the face image)
};

// What the pass tells the caller to do on the way out.
enum class FramingLogMarker { None, InternalError, NotDetected, FalseDetection };

// Result codes of a pass.
constexpr int kFrameNoCascade = -1;
constexpr int kFrameTempNotWritten = -2;
// -3 .. -7: the face library (face_library.h)
constexpr int kFrameLibraryFailed = -8;
constexpr int kFrameTooLargeUnattended = -9;
constexpr int kFrameNotDetected = -10;
constexpr int kFrameFaceNotSaved = -12;
constexpr int kFrameNoOverlayMemory = -13;  // the window's, when the overlay cannot be made

// Milliseconds spent in each stage of one pass (wall clock, or the process's
// processor time, which includes the library's own threads).
struct FramingTimes {
    double tempJpeg = 0, load = 0, firstSearch = 0, secondSearch = 0, chin = 0, headTop = 0,
           faceSave = 0, release = 0, total = 0;
};

struct FramingResult {
    int code = 0;
    int libraryCode = 0;  // the failure value of the face search (for the -8 message)
    FramingLogMarker marker = FramingLogMarker::None;

    int width = 0, height = 0;  // W, H
    PixelRect face;             // L, T, R, B
    int n = 0;                  // faces reported for the face rectangle's search
    bool secondSearch = false;  // the first answer was rejected
    int candidates = 0;         // second-search detections examined (at most 10)
    int y0 = 0;                 // top row of the chin strip
    int chins = 0;              // chins reported (0 after a discard)
    PixelRect chin;             // in strip pixels
    int headTop = 0;
    int topO = 0, bottomO = 0, bottomC = 0;
    int chinLine = 0;            // the final bottom of the head box
    PixelRect headBox;           // L, top, R, chin line
    PixelRect photoBox;          // left, top, right, bottom of the photo
    int frameW = 0, frameH = 0;  // fw, fh

    std::vector<HeadTopSample> samples;  // every head-top scan's sample point, in order
    std::string faceImagePath;           // the saved face ("" when none)
    std::string tempImagePath;           // the temporary JPEG used (removed again)
    FramingTimes times;
    FramingTimes cpuTimes;
};

// The pass's dealings with its surroundings; every member may be empty.
struct FramingHooks {
    std::function<void(const std::string&)> status;  // status text ("自動認識中(再認識)...")
    std::function<void()> pump;                      // let pending window events run
    std::function<void(int)> wait;                   // fixed waits; empty = sleep
    // False in a run without a window: the fixed waits are skipped, and with
    // no idle time to fill, all work stays on the calling thread.
    bool fixedWaits = true;
};

// Runs one pass. Returns result.code: 0 with the photo box, or a failure code
// above. The face library is released on every way out.
int RunFramingPass(const Bitmap& square, const AutoFrameOptions& options, const TLayout& layout,
                   IFaceLibrary& library, FramingResult& result, const FramingHooks& hooks = {});

// The steps of framing with rotate-and-retry. Both belong to the caller: the
// window frames with its busy state, texts and waits around the pass and
// turns its own images; the batch command frames and turns a bare square.
struct RotateRetrySteps {
    std::function<int()> frame;              // one framing attempt; its result code
    std::function<bool(int tenths)> turnTo;  // turns the working image to this angle; false = not
};

// Frames; when that fails for want of a face (a code below -1, not a missing
// cascade) and `retry` is set, turns the picture a quarter turn forward from
// `angle` and frames again, then a quarter turn back from `angle` for a last
// try: a photo taken sideways in either direction is found. Returns the last
// attempt's code; `angle` (tenths of a degree) follows every turn made.
int FrameWithRotateRetry(bool retry, int& angle, const RotateRetrySteps& steps);

// True when the frame this face rectangle gives fits within 90 % of the image
// (the plausibility test of the first and second search). `samples`, when
// given, receives the head-top scan's sample point.
bool FaceFrameFits(int L, int T, int R, int B, const Bitmap& square,
                   const AutoFrameOptions& options, const TLayout& layout,
                   std::vector<HeadTopSample>* samples = nullptr);

// False for a layout that cannot frame (first place not taller than its
// spaces above and below, or a zero aspect term).
bool LayoutCanFrame(const TLayout& layout);

// The temporary detection JPEG: in the program folder when it is writable,
// else in the user's temporary folder.
std::string DefaultTemporaryImagePath(const std::string& appDir);

// The cascade files, in the program folder.
extern const char* const kFaceCascadeName;  // "haarcascade_frontalface_default.xml"
extern const char* const kChinCascadeName;  // "ago.xml"
extern const char* const kReadMeName;       // "お読み下さい.txt"

// Texts of the pass.
extern const char* const kStatusRecognising;       // "自動認識中..."
extern const char* const kStatusRecognisingAgain;  // "自動認識中(再認識)..."
extern const char* const kStatusRecognised;        // "自動認識完了"
extern const char* const kStatusFailed;            // "自動認識失敗"
// The log marker's text ("  自動顔認識エラー(非検出):  " ...), "" for None.
std::string FramingLogMarkerText(FramingLogMarker marker);
// The message box for a failed pass, "" when none is shown (unattended, or a
// code without message). Codes -3 .. -7 give the library's messages.
std::string FramingMessage(const FramingResult& result, bool unattended);
