#include "detect/auto_frame.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <system_error>
#include <thread>

#include "detect/recognition_log.h"
#include "imaging/rotation_angle.h"
#include "platform/jpeg.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"

const char* const kFaceCascadeName = "haarcascade_frontalface_default.xml";
const char* const kChinCascadeName = "ago.xml";
const char* const kReadMeName = "お読み下さい.txt";
const char* const kStatusRecognising = "自動認識中...";
const char* const kStatusRecognisingAgain = "自動認識中(再認識)...";
const char* const kStatusRecognised = "自動認識完了";
const char* const kStatusFailed = "自動認識失敗";

namespace {

using Clock = std::chrono::steady_clock;

// A moment in wall-clock time and in the process's processor time.
struct Stamp {
    Clock::time_point wall;
    std::clock_t cpu;
    static Stamp Now() { return {Clock::now(), std::clock()}; }
};

// Adds the time since `since` to one stage of both measures.
void Record(FramingResult& r, double FramingTimes::*stage, const Stamp& since) {
    r.times.*stage += std::chrono::duration<double, std::milli>(Clock::now() - since.wall).count();
    r.cpuTimes.*stage += 1000.0 * static_cast<double>(std::clock() - since.cpu) / CLOCKS_PER_SEC;
}

constexpr int kMaxCandidates = 10;
// The library's "no failure" besides 0.
constexpr int kNoFailure = -7;
constexpr int kFirstWaitMs = 500;
constexpr int kSaveWaitMs = 50;
// One name per running copy: two copies sharing one file would each read the
// other's picture back.
std::string TempImageName() {
    return FormatText("kambrix_temp_%llu.jpg", CurrentProcessId());
}

// The band the head top is judged in: half a face width either side.
void HeadBand(int L, int R, int W, int& x0, int& x1) {
    x0 = (3 * L - R) / 2;
    if (x0 < 0) x0 = 0;
    x1 = (3 * R - L) / 2;
    if (x1 > W) x1 = W - 1;
}

int ExtendAbove(int T, int B, int percent) {
    return T - static_cast<int>(static_cast<long long>(B - T) * percent / 100);
}
int ExtendBelow(int T, int B, int percent) {
    return B + static_cast<int>(static_cast<long long>(B - T) * percent / 100);
}

// The bottom below the face centre stretched by the ratio the top moved up
// by. False when that ratio is undefined (the estimated top at the centre).
bool StretchedBottom(int T, int B, int headTop, int topO, int bottomO, int& bottom) {
    const int mid = T + (B - T) / 2;
    const int den = mid - topO;
    if (den <= 0) return false;
    bottom = mid + static_cast<int>(static_cast<long long>(bottomO - mid) * (mid - headTop) / den);
    return true;
}

struct PhotoBox {
    int left = 0, top = 0, right = 0, bottom = 0, fw = 0, fh = 0;
};

// The photo box around a head box, with the first place's spaces above the
// head and below the chin. False for a layout that cannot frame.
bool ComputePhotoBox(int top, int bottom, int L, int R, const TPhotoSlot& slot, PhotoBox& box) {
    const long long A = slot.height;
    const long long den = A - slot.hny - slot.bny;
    if (A <= 0 || den <= 0) return false;
    const long long S = (bottom - top) * A / den;
    box.top = static_cast<int>(top - slot.hny * S / A);
    box.bottom = static_cast<int>(bottom + slot.bny * S / A);
    box.fh = box.bottom - box.top;
    box.fw = static_cast<int>(slot.width * static_cast<long long>(box.fh) / A);
    const int cx = L + (R - L) / 2;
    box.left = cx - box.fw / 2;
    box.right = cx + box.fw / 2;
    return true;
}

bool TooLarge(int fw, int fh, int W, int H) {
    return fw * 100LL > W * 90LL || fh * 100LL > H * 90LL;
}

using HeadTopFn = std::function<int(int x0, int x1, int T)>;

bool FitsWith(int L, int T, int R, int B, int W, int H, const AutoFrameOptions& o,
              const TLayout& layout, const HeadTopFn& headTopOf) {
    if (B - T <= 0 || !LayoutCanFrame(layout)) return false;
    int x0 = 0, x1 = 0;
    HeadBand(L, R, W, x0, x1);
    const int headTop = headTopOf(x0, x1, T);
    const int topO = ExtendAbove(T, B, layout.haarTop);
    const int bottomO = ExtendBelow(T, B, layout.haarBottom);
    int top = topO, bottom = bottomO;
    // Here the estimated top, not the face's top row, is compared.
    if (o.correctHeadTop && top > headTop) {
        top = headTop;
        if (!StretchedBottom(T, B, headTop, topO, bottomO, bottom)) return false;
    }
    PhotoBox box;
    if (!ComputePhotoBox(top, bottom, L, R, layout.slots[0], box)) return false;
    return !TooLarge(box.fw, box.fh, W, H);
}

// Removes the temporary image on every way out of the pass.
struct TempFile {
    std::string path;
    ~TempFile() {
        if (path.empty()) return;
        std::error_code ec;
        std::filesystem::remove(ToFsPath(path), ec);
    }
};

// Codes the working file. With `ahead`, on a thread of its own, so that it
// is written while the library loads and the program waits its fixed time
// after loading it; otherwise, or without a thread to be had, at once.
class TempWrite {
  public:
    TempWrite(const std::string& path, const Bitmap& square, int quality, bool ahead)
        : path_(path), square_(square), quality_(quality) {
        if (!ahead) {
            Write();
            return;
        }
        try {
            thread_ = std::thread([this] { Write(); });
        } catch (const std::system_error&) {
            Write();
        }
    }
    ~TempWrite() { Finish(); }
    TempWrite(const TempWrite&) = delete;
    TempWrite& operator=(const TempWrite&) = delete;

    // Waits for the file; 0 when it is written.
    int Finish() {
        if (thread_.joinable()) thread_.join();
        return result_;
    }

  private:
    void Write() {
        try {
            result_ = EncodeJpegGreyWorkingFile(path_, square_, quality_);
        } catch (...) {
            result_ = -2;  // no memory to code it
        }
    }
    const std::string path_;
    const Bitmap& square_;
    const int quality_;
    int result_ = -1;
    std::thread thread_;
};

struct LibraryHold {
    IFaceLibrary& library;
    ~LibraryHold() { library.Release(); }
};

class Pass {
  public:
    Pass(const Bitmap& square, const AutoFrameOptions& o, const TLayout& layout,
         IFaceLibrary& library, FramingResult& r, const FramingHooks& hooks)
        : square_(square), o_(o), layout_(layout), library_(library), r_(r), hooks_(hooks) {}

    int Run();

  private:
    int Search(TempWrite& write);
    bool FirstAnswerRejected();
    void SecondSearch();
    int ChinSearch();
    int SaveFace();
    int Frame();
    int HeadTop(int x0, int x1, int T);
    int FinalHeadTop(int x0, int x1);
    HeadTopFace ContourFace() const;
    void StartContourHeadTop();
    bool Fits(int L, int T, int R, int B);
    int Fail(int code, FramingLogMarker marker) {
        r_.marker = marker;
        return code;
    }
    void Status(const std::string& text) {
        if (hooks_.status) hooks_.status(text);
    }
    void Pump() {
        if (hooks_.pump) hooks_.pump();
    }
    void Wait(int ms) {
        if (!hooks_.fixedWaits) return;
        if (hooks_.wait)
            hooks_.wait(ms);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    const Bitmap& square_;
    const AutoFrameOptions& o_;
    const TLayout& layout_;
    IFaceLibrary& library_;
    FramingResult& r_;
    const FramingHooks& hooks_;
    int W_ = 0, H_ = 0;
    int code_ = 0;  // failure value of the face search
    std::string faceCascade_, chinCascade_;
    TempFile temp_;
    std::future<std::optional<int>> contourTop_;  // the outline's head top, when found ahead
};

int Pass::HeadTop(int x0, int x1, int T) {
    const Stamp start = Stamp::Now();
    HeadTopSample sample;
    const HeadTopFinder finder = o_.headTopFinder ? o_.headTopFinder : FindHeadTop;
    const int headTop = finder(x0, x1, T, square_, o_.headTop, &sample);
    r_.samples.push_back(sample);
    Record(r_, &FramingTimes::headTop, start);
    return headTop;
}

HeadTopFace Pass::ContourFace() const {
    HeadTopFace face{r_.face, std::nullopt};
    if (o_.findChin && r_.chins > 0) face.chinRow = r_.y0 + r_.chin.top + r_.chin.Height() / 2;
    return face;
}

void Pass::StartContourHeadTop() {
    if (o_.headTopMethod != HeadTopMethod::kContour || !hooks_.fixedWaits) return;
    try {
        contourTop_ =
            std::async(std::launch::async, FindHeadTopContour, std::cref(square_), ContourFace());
    } catch (const std::system_error&) {
        // no thread to be had: the outline is found when it is needed
    }
}

int Pass::FinalHeadTop(int x0, int x1) {
    const auto [L, T, R, B] = r_.face;
    if (o_.headTopMethod == HeadTopMethod::kBackground) return HeadTop(x0, x1, T);
    if (o_.headTopMethod == HeadTopMethod::kEstimate) return T;  // nothing above the estimate
    const Stamp start = Stamp::Now();
    const std::optional<int> top =
        contourTop_.valid() ? contourTop_.get() : FindHeadTopContour(square_, ContourFace());
    Record(r_, &FramingTimes::headTop, start);
    return top.value_or(ExtendAbove(T, B, layout_.haarTop));
}

bool Pass::Fits(int L, int T, int R, int B) {
    return FitsWith(L, T, R, B, W_, H_, o_, layout_,
                    [this](int x0, int x1, int t) { return HeadTop(x0, x1, t); });
}

int Pass::Run() {
    W_ = r_.width = square_.Width();
    H_ = r_.height = square_.Height();
    faceCascade_ = o_.appDir + kFaceCascadeName;
    chinCascade_ = o_.appDir + kChinCascadeName;
    if (!FileExists(faceCascade_)) return kFrameNoCascade;

    const std::string tempPath =
        o_.tempImagePath.empty() ? DefaultTemporaryImagePath(o_.appDir) : o_.tempImagePath;
    temp_.path = tempPath;
    r_.tempImagePath = tempPath;
    // The library searches the luminance only: a grey file gives it the same
    // picture for about half the coding and decoding.
    const Stamp start = Stamp::Now();
    TempWrite write(tempPath, square_, o_.jpegQuality, hooks_.fixedWaits);
    Record(r_, &FramingTimes::tempJpeg, start);  // the coding itself without the waits

    try {
        LibraryHold hold{library_};
        if (const int c = Search(write); c != 0) return c;
    } catch (...) {
        library_.Release();
        return kFaceLibraryException;
    }

    r_.libraryCode = code_;
    if (code_ != 0) return Fail(kFrameLibraryFailed, FramingLogMarker::InternalError);
    const PixelRect& f = r_.face;
    const bool allZero = f.left == 0 && f.top == 0 && f.right == 0 && f.bottom == 0;
    const bool overHalf = f.Width() * 100LL > W_ * 50LL && f.Height() * 100LL > H_ * 50LL;
    // An empty rectangle or a layout that cannot frame would divide by zero below.
    const bool unusable = f.Width() <= 0 || f.Height() <= 0 || !LayoutCanFrame(layout_);
    if (allZero || r_.n <= 0 || overHalf || unusable)
        return Fail(kFrameNotDetected, FramingLogMarker::NotDetected);
    if (o_.saveFace) {
        // The head's outline depends on the face alone: it is found while
        // the face is saved after its fixed wait.
        StartContourHeadTop();
        if (const int c = SaveFace(); c != 0) return c;
    }
    return Frame();
}

int Pass::Search(TempWrite& write) {
    Stamp start = Stamp::Now();
    const int loaded = library_.Load();
    if (loaded == 0) {
        Pump();
        Wait(kFirstWaitMs);
    }
    Record(r_, &FramingTimes::load, start);
    // The working file is due before the library: a pass that could write
    // neither reports the file.
    start = Stamp::Now();
    const int written = write.Finish();
    Record(r_, &FramingTimes::tempJpeg, start);
    if (written != 0) return kFrameTempNotWritten;
    if (loaded != 0) return loaded;

    start = Stamp::Now();
    const int m = o_.minFaceSize;
    library_.SetMinSize(m, m);
    code_ = library_.FaceDetect(temp_.path, faceCascade_, 0, o_.accuracy);
    if (code_ == kNoFailure) code_ = 0;
    r_.n = library_.GetRect(-1, -1);
    r_.face = {library_.GetRect(0, 0), library_.GetRect(1, 0), library_.GetRect(2, 0),
               library_.GetRect(3, 0)};
    Record(r_, &FramingTimes::firstSearch, start);

    if (FirstAnswerRejected()) {
        r_.secondSearch = true;
        start = Stamp::Now();
        SecondSearch();
        Record(r_, &FramingTimes::secondSearch, start);
    }
    if (o_.findChin) {
        start = Stamp::Now();
        const int c = ChinSearch();
        Record(r_, &FramingTimes::chin, start);
        if (c != 0) return c;
    }
    start = Stamp::Now();
    library_.Release();
    Record(r_, &FramingTimes::release, start);
    return 0;
}

bool Pass::FirstAnswerRejected() {
    const auto [L, T, R, B] = r_.face;
    if (r_.n <= 0) return true;
    if (o_.upperHalfOnly && H_ / 2 < T + (B - T) / 2) return true;
    if (!Fits(L, T, R, B)) return true;
    return W_ / 10 < std::abs(L + (R - L) / 2 - W_ / 2);
}

void Pass::SecondSearch() {
    Status(kStatusRecognisingAgain);
    Pump();
    const int c2 = library_.FaceDetect(temp_.path, faceCascade_, 1, o_.accuracy);
    if (c2 == kNoFailure) code_ = 0;
    int k = library_.GetRect(-1, -1);
    if (k <= 0) return;
    if (k > kMaxCandidates) k = kMaxCandidates;
    r_.candidates = k;
    int best = -1, bestD = 0;
    PixelRect winner;
    for (int i = 0; i < k; ++i) {
        const PixelRect c{library_.GetRect(0, i), library_.GetRect(1, i), library_.GetRect(2, i),
                          library_.GetRect(3, i)};
        if (o_.upperHalfOnly && c.top + (c.bottom - c.top) / 2 > H_ / 2) continue;
        if (!Fits(c.left, c.top, c.right, c.bottom)) continue;
        const int d = std::abs(c.left + (c.right - c.left) / 2 - W_ / 2);
        if (best < 0 || d < bestD) {
            best = i;
            bestD = d;
            winner = c;
        }
    }
    if (best < 0) return;
    r_.face = winner;
    code_ = 0;
    r_.n = k;
}

int Pass::ChinSearch() {
    const auto [L, T, R, B] = r_.face;
    const int fh = B - T;
    int y0 = T + fh / 2;
    if (H_ < B + fh / 2) y0 = H_ - fh;
    r_.y0 = y0;
    // An empty strip has no chin; the face itself is refused later.
    if (R - L <= 0 || fh <= 0) return 0;
    Bitmap strip(R - L, fh, kBlack);
    CopyRect(square_, {L, y0, R, y0 + fh}, strip, 0, 0);
    if (EncodeJpegGreyWorkingFile(temp_.path, strip, o_.jpegQuality) != 0)
        return kFrameTempNotWritten;
    const int m = o_.minFaceSize;
    library_.SetMinSize(m / 8, m / 8);
    library_.FaceDetect(temp_.path, chinCascade_, 0, o_.accuracy);
    r_.chins = library_.GetRect(-1, -1);
    if (r_.chins <= 0) return 0;
    r_.chin = {library_.GetRect(0, 0), library_.GetRect(1, 0), library_.GetRect(2, 0),
               library_.GetRect(3, 0)};
    const int centre = y0 + r_.chin.top + (r_.chin.bottom - r_.chin.top) / 2;
    if (centre < B) r_.chins = 0;
    return 0;
}

int Pass::SaveFace() {
    const Stamp start = Stamp::Now();
    Pump();
    Wait(kSaveWaitMs);
    const PixelRect& f = r_.face;
    Bitmap face(f.Width(), f.Height(), kBlack);
    CopyRect(square_, f, face, 0, 0);
    const std::string folder = RecognitionFolder(o_.saveFolder, o_.photoDir);
    const int c = SaveRecognisedFace(face, folder, o_.photoPath, o_.jpegQuality, layout_.paper.dpi,
                                     &r_.faceImagePath);
    Record(r_, &FramingTimes::faceSave, start);
    return c == 0 ? 0 : kFrameFaceNotSaved;
}

int Pass::Frame() {
    const auto [L, T, R, B] = r_.face;
    int x0 = 0, x1 = 0;
    HeadBand(L, R, W_, x0, x1);
    r_.headTop = FinalHeadTop(x0, x1);
    r_.topO = ExtendAbove(T, B, layout_.haarTop);
    r_.bottomO = ExtendBelow(T, B, layout_.haarBottom);
    int top = r_.topO, bottom = r_.bottomO;
    const bool correct = o_.headTopMethod == HeadTopMethod::kContour ||
                         (o_.headTopMethod == HeadTopMethod::kBackground && o_.correctHeadTop);
    if (correct && T > r_.headTop) {
        top = r_.headTop;
        if (!StretchedBottom(T, B, r_.headTop, r_.topO, r_.bottomO, bottom))
            return Fail(kFrameNotDetected, FramingLogMarker::NotDetected);
    }
    r_.bottomC = bottom;
    if (o_.findChin && r_.chins > 0)
        bottom = r_.y0 + r_.chin.top + (r_.chin.bottom - r_.chin.top) / 2;
    r_.chinLine = bottom;
    r_.headBox = {L, top, R, bottom};

    PhotoBox box;
    if (!ComputePhotoBox(top, bottom, L, R, layout_.slots[0], box))
        return Fail(kFrameNotDetected, FramingLogMarker::NotDetected);
    r_.photoBox = {box.left, box.top, box.right, box.bottom};
    r_.frameW = box.fw;
    r_.frameH = box.fh;
    if (o_.sizeCheck && TooLarge(box.fw, box.fh, W_, H_))
        return Fail(o_.unattended ? kFrameTooLargeUnattended : kFrameNotDetected,
                    FramingLogMarker::FalseDetection);
    return 0;
}

}  // namespace

int RunFramingPass(const Bitmap& square, const AutoFrameOptions& options, const TLayout& layout,
                   IFaceLibrary& library, FramingResult& result, const FramingHooks& hooks) {
    const Stamp start = Stamp::Now();
    result = FramingResult{};
    {
        Pass pass(square, options, layout, library, result, hooks);
        result.code = pass.Run();
    }
    Record(result, &FramingTimes::total, start);
    return result.code;
}

int FrameWithRotateRetry(bool retry, int& angle, const RotateRetrySteps& steps) {
    int code = steps.frame();
    // A quarter turn forward, then half a turn back: a quarter back from the start.
    for (const int turn : {900, -1800}) {
        if (code > -2 || !retry) break;
        const int next = KeptAngle(angle + turn);
        if (!steps.turnTo(next)) break;
        angle = next;
        code = steps.frame();
    }
    return code;
}

bool FaceFrameFits(int L, int T, int R, int B, const Bitmap& square,
                   const AutoFrameOptions& options, const TLayout& layout,
                   std::vector<HeadTopSample>* samples) {
    const HeadTopFinder finder = options.headTopFinder ? options.headTopFinder : FindHeadTop;
    return FitsWith(L, T, R, B, square.Width(), square.Height(), options, layout,
                    [&](int x0, int x1, int t) {
                        HeadTopSample sample;
                        const int headTop = finder(x0, x1, t, square, options.headTop, &sample);
                        if (samples) samples->push_back(sample);
                        return headTop;
                    });
}

bool LayoutCanFrame(const TLayout& layout) {
    const TPhotoSlot& s = layout.slots[0];
    const FrameLimits limits = UpdateFrameLimits(layout);
    return s.height > 0 && s.height - s.hny - s.bny > 0 && limits.aspectW > 0 && limits.aspectH > 0;
}

std::string DefaultTemporaryImagePath(const std::string& appDir) {
    const std::string besideProgram = WithTrailingSeparator(appDir) + TempImageName();
    {
        // Probe by opening for appending: an existing file keeps its content.
        std::ofstream probe(ToFsPath(besideProgram), std::ios::binary | std::ios::app);
        if (probe) return besideProgram;
    }
    std::error_code ec;
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    if (ec) return besideProgram;
    const std::u8string utf8 = tmp.u8string();
    return WithTrailingSeparator(std::string(utf8.begin(), utf8.end())) + TempImageName();
}

std::string FramingLogMarkerText(FramingLogMarker marker) {
    switch (marker) {
        case FramingLogMarker::InternalError:
            return "  自動顔認識エラー（内部エラー）:  ";
        case FramingLogMarker::NotDetected:
            return "  自動顔認識エラー(非検出):  ";
        case FramingLogMarker::FalseDetection:
            return "  自動顔認識エラー(誤検出):  ";
        case FramingLogMarker::None:
            break;
    }
    return {};
}

std::string FramingMessage(const FramingResult& result, bool unattended) {
    switch (result.code) {
        case kFrameNoCascade:
            return "顔認識用のXMLデータが見つかりません。";
        case kFrameTempNotWritten:
            return "一時保存ファイルの保存に失敗しました。";
        case kFrameFaceNotSaved:
            return "ファイルの保存に失敗しました。";
        case kFrameNoOverlayMemory:
            return "作業用のメモリが足りません。メモリを増設して下さい。";
        default:
            break;
    }
    if (const std::string text = FaceLibraryMessage(result.code); !text.empty()) return text;
    if (unattended) return {};
    switch (result.marker) {
        case FramingLogMarker::InternalError:
            return "自動認識処理が失敗しました。(" + std::to_string(result.libraryCode) + ")";
        case FramingLogMarker::NotDetected:
            return "自動顔認識処理では認識出来ませんでした。";
        case FramingLogMarker::FalseDetection:
            return "自動顔認識処理では認識出来ませんでした。（サイズ過大による誤検出判定）";
        case FramingLogMarker::None:
            break;
    }
    return {};
}
