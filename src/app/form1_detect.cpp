// Automatic framing in the window: the face button, the rotate-and-retry,
// the pass's window steps (busy state, status texts, messages, log lines),
// turning the photo box into the crop frame with its diagnostic rectangles,
// and picking the background colour for the head-top scan.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <new>

#include "app/form1.h"
#include "app/form2.h"
#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "detect/recognition_log.h"
#include "frame/auto_frame_view.h"
#include "frame/frame_overlay.h"
#include "imaging/view.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"
#include "sheet/save.h"

namespace {

constexpr Rgb kFaceColour{255, 255, 0};
constexpr Rgb kHeadBoxColour{0, 128, 0};
constexpr Rgb kCorrectedColour{0, 255, 255};
constexpr Rgb kChinColour{4, 4, 255};
constexpr Rgb kChinHeadColour{255, 204, 102};

PixelRect Grown(const PixelRect& r, int by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

}  // namespace

void TForm1::BitBtn9Click() {
    if (!FRunning) AutoFrameWithRetry();
}

int TForm1::AutoFrameWithRetry() {
    RotateRetrySteps steps;
    steps.frame = [this] { return AutoFrame(); };
    steps.turnTo = [this](int tenths) { return TurnPhotoTo(tenths); };
    int angle = FRotation;
    const int code = FrameWithRotateRetry(Form2 && Form2->CheckBox15->isChecked(), angle, steps);
    FFramingFailed = code != 0;
    return code;
}

AutoFrameOptions TForm1::AutoFrameOptionsFromControls() const {
    AutoFrameOptions o;
    o.appDir = FAppDir;
    if (Form2) {
        o.upperHalfOnly = Form2->CheckBox12->isChecked();
        o.findChin = Form2->CheckBox14->isChecked();
        o.sizeCheck = Form2->CheckBox11->isChecked();
        o.rotateRetry = Form2->CheckBox15->isChecked();
        o.correctHeadTop = Form2->CheckBox7->isChecked();
        o.headTopMethod =
            Form2->CheckBox18->isChecked() ? HeadTopMethod::kContour : HeadTopMethod::kBackground;
        o.saveFace = Form2->CheckBox6->isChecked();
        o.accuracy = Form2->TrackBar2->value();
        o.minFaceSize = Form2->TrackBar6->value();
        o.jpegQuality = Form2->TrackBar4->value();
        o.headTop.range = Form2->TrackBar1->value();
        o.headTop.threshold = Form2->TrackBar3->value();
    }
    o.unattended = Unattended();
    o.headTop.usePickedColour = CheckBox5->isChecked();
    const Bitmap& swatch = Image4->Picture();
    o.headTop.pickedColour = swatch.Empty() ? kWhite : swatch.Pixel(0, 0);
    o.saveFolder = S(Edit3->text());
    o.photoDir = FPhotoDir;
    o.photoPath = FFileName;
    return o;
}

bool TForm1::Unattended() const {
    return FBatchMode && CheckBox3->isChecked() && Form2 && Form2->CheckBox9->isChecked();
}

int TForm1::AutoFrame() {
    if (FBusy) return 0;
    // A photo that failed to load leaves nothing to frame (and no view to frame it on).
    if (FSourceBmp.Empty() || FDispDen <= 0) return 0;
    FBusy = true;
    FFramedCut.reset();  // until this pass places its frame
    DetachGrips();
    Image3->hide();
    Image1->SetShowHint(false);
    SetControlsEnabled(false);
    SetStatusText(2, kStatusRecognising);
    Pump();

    std::unique_ptr<IFaceLibrary> library =
        FFaceLibraryFactory ? FFaceLibraryFactory()
                            : std::make_unique<FaceLibrary>(FAppDir + FaceLibraryFileName());
    FramingHooks hooks;
    hooks.status = [this](const std::string& text) { SetStatusText(2, text); };
    hooks.pump = [this] { Pump(); };
    hooks.wait = [this](int ms) {
        if (FHost.pump) FHost.pump->Wait(ms);
    };
    RunFramingPass(FSourceBmp, AutoFrameOptionsFromControls(), CurrentLayout(), *library,
                   FLastFraming, hooks);
    library.reset();
    MarkHeadTopSamples(FLastFraming);
    int code = FLastFraming.code;
    if (code == 0) code = PlaceAutoFrame(FLastFraming);
    if (code != 0) ReportFramingFailure(code);

    Image3->show();
    ArmGrips();
    if (code == 0) {
        SetStatusText(2, kStatusRecognised);
        Pump();
    }
    FBusy = false;
    SetControlsEnabled(true);
    return code;
}

void TForm1::MarkHeadTopSamples(const FramingResult& r) {
    if (!Form2 || !Form2->CheckBox3->isChecked()) return;
    Bitmap& view = Image1->Picture();
    bool marked = false;
    for (const HeadTopSample& s : r.samples) {
        if (!s.sampledFromImage) continue;
        const ViewPoint p =
            SquareToControl(s.x, s.y, FDispNum, FDispDen, 0, 0, Image1->width(), Image1->height());
        view.FillRect({p.x, p.y, p.x + 2, p.y + 2}, kPureBlue);
        marked = true;
    }
    if (marked) Image1->PictureChanged();
}

void TForm1::ReportFramingFailure(int code) {
    const FramingResult& r = FLastFraming;
    if (r.marker != FramingLogMarker::None) {
        const std::string folder = LogFolder(S(Edit3->text()), FPhotoDir);
        const std::string line = RecognitionLogLine(RecognitionTimestampNow(),
                                                    FramingLogMarkerText(r.marker), FFileName);
        if (AppendRecognitionLog(folder, line) == -2)
            FHost.dialogs->ShowMessage(FormatMessage(kMsgCannotCreateFolder, folder), FTitle);
        SetStatusText(2, kStatusFailed);
    }
    if (code == kFrameNoOverlayMemory) {
        FHost.dialogs->ShowMessage(kNoMemoryText, kNoMemoryCaption);
        return;
    }
    FramingResult shown = r;
    shown.code = code;
    const std::string message = FramingMessage(shown, Unattended());
    if (!message.empty()) FHost.dialogs->ShowMessage(message, FTitle);
    if (code == kFrameNoCascade) {
        if (Form2) Form2->CheckBox4->setChecked(false);
        if (FHost.shell) FHost.shell->Open(FAppDir + kReadMeName);
    }
}

int TForm1::PlaceAutoFrame(const FramingResult& r) {
    // The view's children (the photo, the frame) sit in the scrolled content,
    // so their coordinates are view coordinates: no scroll position is taken
    // off here or in the marks and rectangles below.
    const AutoFrameView view{FDispNum,         FDispDen,    0,           0,       Image1->width(),
                             Image1->height(), FFrameBaseW, FFrameBaseH, FFrameW, FFrameH};
    AutoFramePlacement placed;
    if (!PlaceAutoFrameInView(r.photoBox, r.frameH, view, placed)) return kFrameNotDetected;
    const ViewRect& u = placed.unclamped;
    SetStatusText(2,
                  FormatText("(%d,%d)-(%d,%d)", u.left, u.top, u.left + u.width, u.top + u.height));
    Pump();
    // Kept inside the view, shrunk with the layout's aspect when larger.
    const int vleft = placed.frame.left, vtop = placed.frame.top;
    const int vw = placed.frame.width, vh = placed.frame.height;

    // The picture is drawn whole before it replaces the overlay's.
    Bitmap picture;
    try {
        picture.SetSize(vw, vh, kBlack);
    } catch (const std::bad_alloc&) {
        return kFrameNoOverlayMemory;
    }
    DrawAutoFrameOverlay(picture, r, vleft, vtop);
    Image3->setGeometry(vleft, vtop, vw, vh);
    Image3->SetPicture(std::move(picture));
    FFrameRect = {0, 0, vw, vh};
    // The same placement at the square's own scale (it keeps the frame inside
    // the square as the view keeps it inside the view).
    PixelRect cut;
    if (PlaceAutoFrameInSquare(r.photoBox, r.frameH, FSourceBmp.Width(), FFrameBaseW, FFrameBaseH,
                               FFrameW, FFrameH, cut))
        FFramedCut = cut;

    const CropFrameLimits l = FrameLimitsInView();
    FResize->SetXYSize(this, l.maxW, l.maxH, l.minW, l.minH, l.boundW, l.boundH, true);
    return 0;
}

void TForm1::DrawAutoFrameOverlay(Bitmap& picture, const FramingResult& r, int vleft, int vtop) {
    const int w = picture.Width(), h = picture.Height();
    ::DrawFrameOverlay(picture, w, h, false);
    if (!Form2 || !Form2->CheckBox3->isChecked()) return;
    const int VW = Image1->width(), VH = Image1->height();
    auto toOverlay = [&](const PixelRect& s) {
        const ViewPoint a = SquareToControl(s.left, s.top, FDispNum, FDispDen, 0, 0, VW, VH);
        const ViewPoint b = SquareToControl(s.right, s.bottom, FDispNum, FDispDen, 0, 0, VW, VH);
        return PixelRect{a.x - vleft, a.y - vtop, b.x - vleft, b.y - vtop};
    };
    const int L = r.face.left, R = r.face.right;
    FrameRect(picture, toOverlay(r.face), kFaceColour);
    FrameRect(picture, Grown(toOverlay({L, r.topO, R, r.bottomO}), -1), kHeadBoxColour);
    if (Form2->CheckBox7->isChecked())
        FrameRect(picture, Grown(toOverlay({L, r.headTop, R, r.bottomC}), 1), kCorrectedColour);
    if (r.chins > 0) {
        const PixelRect chin{L + r.chin.left, r.y0 + r.chin.top, L + r.chin.right,
                             r.y0 + r.chin.bottom};
        FrameRect(picture, toOverlay(chin), kChinColour);
        FrameRect(picture, Grown(toOverlay({L, r.headTop, R, r.chinLine}), 2), kChinHeadColour);
    }
    picture.PutPixel(0, h - 1, kPureBlue);
}

void TForm1::CheckBox5Click() {
    if (!CheckBox5->isChecked()) {
        FPickingBackColour = false;
        unsetCursor();
        FBusy = false;
        return;
    }
    if (FBusy) return;
    FBusy = true;
    FPickingBackColour = true;
    setCursor(Qt::PointingHandCursor);
    SetStatusText(2, "画面をクリックしてください");
    FHost.dialogs->ShowMessage("画像上（赤枠以外）で背景色を指定する位置でクリックしてください",
                               FTitle);
}

void TForm1::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    if (!FPickingBackColour) return;
    const Bitmap& view = Image1->Picture();
    if (!view.Contains(x, y)) return;
    const Rgb colour = view.Pixel(x, y);
    Image4->SetPicture(Bitmap(Image4->width(), Image4->height(), colour));
    FPickingBackColour = false;
    FBusy = false;
    unsetCursor();
}
