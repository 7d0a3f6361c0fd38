#include "cli/pipeline.h"

#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "cli/face_models.h"
#include "cli/photo_geometry.h"
#include "detect/auto_frame.h"
#include "detect/face_library.h"
#include "detect/recognition_log.h"
#include "frame/auto_frame_view.h"
#include "imaging/photo.h"
#include "imaging/rotate.h"
#include "imaging/rotation_angle.h"
#include "platform/paths.h"
#include "sheet/caption.h"
#include "sheet/compose.h"
#include "sheet/output_paths.h"
#include "sheet/save.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Nobody answers questions in a batch: a frame smaller than its place stops
// the photo unless enlarging was asked for; every other question goes on. The
// last message shown becomes the photo's message.
class BatchDialogs : public IDialogs {
  public:
    explicit BatchDialogs(bool enlargeSmall) : enlargeSmall_(enlargeSmall) {}
    void ShowMessage(const std::string& text, const std::string&, MessageKind) override {
        last = InSheetFolder(text);
    }
    // The savers write into a staging folder inside the sheet folder; their
    // messages name the sheet folder instead, the one the user knows.
    void NameStagingAs(const std::string& staging, const std::string& folder) {
        staging_ = Bare(staging);
        folder_ = Bare(folder);
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        if (text == kMsgEnlarge) return !enlargeSmall_;
        return false;
    }
    std::vector<std::string> OpenFiles(const FileDialogRequest&) override { return {}; }

    std::string last;

  private:
    static std::string Bare(std::string folder) {  // as messages name a folder
        if (folder.size() > 1 && (folder.back() == '/' || folder.back() == kPathSeparator))
            folder.pop_back();
        return folder;
    }
    // A saver's message that names a path is made again from its text with
    // the path moved out of the staging folder; any other text stays as it is.
    std::string InSheetFolder(const std::string& text) const {
        if (staging_.empty()) return text;
        for (const char* format :
             {kMsgCannotCreateFolder, kMsgNoFreeIndex, kMsgWouldReplacePhoto}) {
            const std::string f = format;
            const std::size_t at = f.find("%s");
            const std::size_t tail = f.size() - at - 2;
            if (at == std::string::npos || text.size() < at + tail ||
                text.compare(0, at, f, 0, at) != 0 ||
                text.compare(text.size() - tail, tail, f, at + 2, tail) != 0)
                continue;
            return FormatMessage(format,
                                 PathInSheetFolder(text.substr(at, text.size() - at - tail)));
        }
        return text;
    }
    std::string PathInSheetFolder(const std::string& path) const {
        const std::size_t n = staging_.size();
        if (path == staging_) return folder_;
        const bool inside = path.size() > n && path.compare(0, n, staging_) == 0 &&
                            (path[n] == '/' || path[n] == kPathSeparator);
        return inside ? folder_ + path.substr(n) : path;
    }

    bool enlargeSmall_;
    std::string staging_, folder_;
};

// Moves a staged output to its real name (replacing an older one, as the
// window does); false when it cannot be moved.
bool Publish(const std::string& staged, const std::string& final) {
    std::error_code ec;
    MakeFolders(FolderOf(final));
    fs::rename(ToFsPath(staged), ToFsPath(final), ec);
    if (!ec) return true;
    // Another file system: copy beside the target, then rename there.
    const fs::path temp = ToFsPath(final + ".part");
    fs::copy_file(ToFsPath(staged), temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(temp, ToFsPath(final), ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

void RemoveTree(const std::string& folder) {
    std::error_code ec;
    fs::remove_all(ToFsPath(folder), ec);
}

std::string SheetFolderOf(const BatchPlan& plan, const BatchPhoto& photo) {
    return SheetFolder(plan.options.outDir, FolderOf(photo.path));
}

}  // namespace

AutoFrameOptions BatchFramingOptions(const BatchPlan& plan, const BatchPhoto& photo,
                                     const std::string& tempImage) {
    const BatchSettings& s = plan.options.settings;
    AutoFrameOptions o;
    o.appDir = plan.appDir;
    o.tempImagePath = tempImage;
    o.upperHalfOnly = s.upperHalf;
    o.findChin = s.chin;
    o.sizeCheck = s.sizeCheck;
    o.rotateRetry = s.rotateRetry;
    o.correctHeadTop = s.headTopCorrection;
    o.headTopMethod = s.headTopMethod;
    o.saveFace = s.recognitionImages;
    o.unattended = true;
    o.accuracy = s.accuracy;
    o.minFaceSize = s.minFace;
    o.jpegQuality = s.quality;
    o.headTop.range = s.headTopRange;
    o.headTop.threshold = s.headTopThreshold;
    o.saveFolder = plan.options.outDir;
    o.photoDir = FolderOf(photo.path);
    o.photoPath = photo.path;
    return o;
}

namespace {

SheetOptions CompositionOptions(const BatchPlan& plan, const BatchPhoto& photo,
                                const std::string& staging) {
    const BatchSettings& s = plan.options.settings;
    SheetOptions o;
    o.sharpen = s.sharpen;
    o.batchMode = true;
    o.autoContinuous = true;
    // Unattended, a frame smaller than its place is skipped; asked, enlarged.
    o.skipUnrecognised = !s.enlargeSmall;
    o.marks = {s.centreMarks, s.cornerMarks, s.scale};
    o.saveTrimmed = s.trimmed;
    o.quality = s.quality;
    o.saveFolder = staging;
    o.photoDir = FolderOf(photo.path);
    return o;
}

}  // namespace

bool BatchPlan::OnePersonPerSheet() const {
    return PersonsPerSheet(layout.paper.photo_ct, layout.paper.photo_ct_per_person) == 1;
}

void PlanUnits(BatchPlan& plan) {
    plan.runId = static_cast<int>(getpid());
    const bool shared = !plan.options.frameOnly && !plan.OnePersonPerSheet();
    const int persons =
        shared ? PersonsPerSheet(plan.layout.paper.photo_ct, plan.layout.paper.photo_ct_per_person)
               : 1;
    plan.units = GroupPhotos(static_cast<int>(plan.photos.size()), persons);
    plan.sheetPaths.clear();
    if (!shared) return;
    // The sheet is saved when its last person fills it, in that person's sheet folder.
    std::set<std::string> planned;
    const PathTakenFn taken = [&planned](const std::string& path) {
        return planned.count(path) > 0 || PathTaken(path);
    };
    for (const auto& unit : plan.units) {
        std::string path;
        NextIndexSheetPath(SheetFolderOf(plan, plan.photos[unit.back()]), path, taken);
        planned.insert(path);
        plan.sheetPaths.push_back(path);
    }
}

std::string StagingFolder(const BatchPlan& plan, const std::string& sheetFolder, int unit) {
    return WithTrailingSeparator(sheetFolder) + ".kambrix-batch-" + std::to_string(plan.runId) +
           "-" + std::to_string(unit) + kPathSeparator;
}

void RemoveStaging(const BatchPlan& plan, int unit) {
    for (int i : plan.units[static_cast<std::size_t>(unit)])
        RemoveTree(StagingFolder(
            plan, SheetFolderOf(plan, plan.photos[static_cast<std::size_t>(i)]), unit));
}

namespace {

LoadOptions PhotoLoadOptions(const BatchPlan& plan) {
    LoadOptions load;
    load.reduceLarge = plan.options.settings.reduceLarge;
    load.applyExifOrientation = plan.options.settings.exif;
    return load;
}

}  // namespace

std::unique_ptr<PhotoLoadedAhead> LoadAhead(const BatchPlan& plan, int index) {
    auto ahead = std::make_unique<PhotoLoadedAhead>();
    ahead->index = index;
    const auto start = Clock::now();
    ahead->outcome = LoadPhoto(ahead->images, plan.photos[static_cast<std::size_t>(index)].path,
                               PhotoLoadOptions(plan));
    ahead->ms = MsSince(start);
    return ahead;
}

struct BatchWorker::State {
    std::unique_ptr<PhotoLoadedAhead> ahead;  // until the first unit
    std::string tempImage;
    std::optional<ResidentFaceModels> faceModels;
    std::unique_ptr<QGuiApplication> app;
    Bitmap back;
};

namespace {

int gQtArgc = 1;
char gQtArg0[] = "kambrix-batch";
char* gQtArgv[] = {gQtArg0, nullptr};

}  // namespace

BatchWorker::BatchWorker(const BatchPlan& plan, std::unique_ptr<PhotoLoadedAhead> ahead)
    : plan_(plan), state_(std::make_unique<State>()) {
    state_->ahead = std::move(ahead);
    std::error_code ec;
    state_->tempImage =
        (fs::temp_directory_path(ec) / ("kambrix-batch-" + std::to_string(getpid()) + ".jpg"))
            .string();
    // The framing pass loads and releases the face library each time; holding
    // it open here keeps it resident, so the models are read once per run.
    // A forked worker finds them read already by the parent.
    state_->faceModels.emplace(plan.appDir, FaceLoadThreads::CallingOnly);
    if (!plan.options.frameOnly) {
        if (CaptionModeOf(plan.layout.paper.text) != CaptionMode::None) {
            // Caption text needs an application; it never opens a window.
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            state_->app = std::make_unique<QGuiApplication>(gQtArgc, gQtArgv);
        }
        LoadBackgroundPicture(plan.appDir, plan.layout.paper.bg_img_name, state_->back);
    }
}

BatchWorker::~BatchWorker() {
    std::error_code ec;
    fs::remove(ToFsPath(state_->tempImage), ec);
}

namespace {

// One person of a unit, through to its places on the sheet.
class PhotoRun {
  public:
    PhotoRun(const BatchPlan& plan, const BatchPhoto& photo, const std::string& tempImage,
             std::unique_ptr<PhotoLoadedAhead> ahead)
        : plan_(plan), photo_(photo), tempImage_(tempImage), ahead_(std::move(ahead)) {
        result.file = photo.given;
    }

    // Loads and frames; true when a frame was placed.
    bool Frame() {
        const auto start = Clock::now();
        const LoadOutcome outcome = Load();
        result.ms.emplace_back("load", ahead_ ? ahead_->ms : MsSince(start));
        ahead_.reset();
        if (outcome.code != 0) {
            result.code = outcome.code;
            result.message = outcome.errorReason;
            return false;
        }
        // Decoded already upright: the EXIF turn needs no undoing here.
        geometry_ = {outcome.decodedWidth, outcome.decodedHeight, 1, outcome.width, outcome.height};
        const auto framing = Clock::now();
        RotateRetrySteps steps;
        steps.frame = [this] { return FramePass(); };
        steps.turnTo = [this](int tenths) { return TurnSquare(tenths); };
        FrameWithRotateRetry(plan_.options.settings.rotateRetry, result.rotation, steps);
        result.ms.emplace_back("frame", MsSince(framing));
        result.code = framing_.code;
        Describe();
        if (framing_.code != 0) {
            result.message = FramingMessage(framing_, false);
            return false;
        }
        return true;
    }

    int FramePass() {
        FaceLibrary library(plan_.appDir + FaceLibraryFileName());
        FramingHooks hooks;
        hooks.fixedWaits = false;  // the window's fixed waits are for the window only
        framing_ = {};
        RunFramingPass(images_.source, BatchFramingOptions(plan_, photo_, tempImage_), plan_.layout,
                       library, framing_, hooks);
        Log();
        return framing_.code;
    }

    // The square rebuilt from the photo as loaded, turned by `angle` tenths.
    bool TurnSquare(int angle) {
        const int side = std::max(images_.temp2.Width(), images_.temp2.Height());
        Bitmap turned(side, side, kWhite);
        if (RotateBitmap(images_.temp2, turned, NormalisedAngle(angle)) != 0) return false;
        images_.source = std::move(turned);
        return true;
    }

    // The frame in square pixels; false when the layout gives it no shape.
    bool Place() {
        const FrameLimits limits = UpdateFrameLimits(plan_.layout);
        return PlaceAutoFrameInSquare(framing_.photoBox, framing_.frameH, images_.source.Width(),
                                      limits.baseW, limits.baseH, limits.aspectW, limits.aspectH,
                                      cut_);
    }

    // The frame as the window places it (grown to the layout's smallest
    // frame, kept inside the square), cut out of the square.
    void CutFrame(Bitmap& trim) {
        if (!Place()) cut_ = framing_.photoBox;
        const int side = images_.source.Width();
        CropTrimmedPhoto(images_.source, {cut_.left, cut_.top, cut_.Width(), cut_.Height()}, side,
                         trim);
    }

    const Bitmap& Square() const { return images_.source; }
    const FramingResult& Framing() const { return framing_; }
    PhotoResult result;

  private:
    LoadOutcome Load() {
        if (!ahead_) return LoadPhoto(images_, photo_.path, PhotoLoadOptions(plan_));
        images_ = std::move(ahead_->images);
        return ahead_->outcome;
    }

    // Face, frame and the head's rows in the photo's own pixels.
    void Describe() {
        if (framing_.width <= 0 || result.rotation != 0) return;
        if (framing_.face.Width() > 0) result.face = SquareRectToPhoto(geometry_, framing_.face);
        if (framing_.code != 0 || !Place()) return;
        result.frame = SquareRectToPhoto(geometry_, cut_);
        result.chinY = SquareRowToPhoto(geometry_, framing_.chinLine);
        result.headTopY = SquareRowToPhoto(geometry_, framing_.headBox.top);
    }

    // The recognition error log, as the window keeps it.
    void Log() {
        const std::string marker = FramingLogMarkerText(framing_.marker);
        if (marker.empty()) return;
        AppendRecognitionLog(LogFolder(plan_.options.outDir, FolderOf(photo_.path)),
                             RecognitionLogLine(RecognitionTimestampNow(), marker, photo_.path));
    }

    const BatchPlan& plan_;
    const BatchPhoto& photo_;
    const std::string& tempImage_;
    std::unique_ptr<PhotoLoadedAhead> ahead_;
    WorkingImages images_;
    FramingResult framing_;
    PhotoGeometry geometry_;
    PixelRect cut_;  // the frame placed, square pixels
};

void Fail(PhotoResult& r, int code, const std::string& message) {
    r.status = PhotoStatus::Failed;
    r.code = code;
    r.message = message;
}

}  // namespace

namespace {

// One unit's sheet: composed into a staging folder, published under its real
// name once complete.
class UnitSheet {
  public:
    UnitSheet(const BatchPlan& plan, const Bitmap& back, int unit)
        : plan_(plan), back_(back), unit_(unit), dialogs_(plan.options.settings.enlargeSmall) {}
    ~UnitSheet() {
        if (!staging_.empty()) RemoveTree(staging_);
    }

    // Cuts the frame out and composes it into this person's places.
    void Compose(PhotoRun& run, const BatchPhoto& photo) {
        PhotoResult& r = run.result;
        if (staging_.empty()) {
            const std::string folder = SheetFolderOf(plan_, photo);
            staging_ = StagingFolder(plan_, folder, unit_);
            dialogs_.NameStagingAs(staging_, folder);
        }
        Bitmap trim;
        run.CutFrame(trim);
        ComposeReport report;
        const auto start = Clock::now();
        dialogs_.last.clear();
        const int code = ComposeSheet(plan_.layout, CompositionOptions(plan_, photo, staging_),
                                      trim, back_, photo.path, sheet_, dialogs_, &report);
        r.ms.emplace_back("sheet", MsSince(start));
        if (code == kComposeStopped)
            return Fail(r, code, plan_.options.settings.enlargeSmall ? dialogs_.last : kMsgEnlarge);
        if (code != 0) return Fail(r, code, dialogs_.last);
        // Published with the sheet: a worker lost before then leaves no
        // trimmed photo of a person the run reports as failed.
        if (!report.trimmedPath.empty())
            trimmed_.push_back(
                {person_, report.trimmedPath,
                 TrimmedFolder(plan_.options.outDir, FolderOf(photo.path)) + FileNameOf(photo.path),
                 photo.path});
        drawn_ = !report.saved;
        if (report.saved) staged_ = report.sheetPath;
    }

    void NextPerson() {
        sheet_.slot = NextSheetSlot(plan_.layout.paper, sheet_.slot);
        ++person_;
    }

    // A one-person sheet under the photo's name (never over the photo itself).
    void PublishOwnSheet(PhotoResult& r, const BatchPhoto& photo) {
        PublishTrimmed([&r](int) -> PhotoResult& { return r; });
        if (!staged_.empty()) {
            const std::string final = SheetFolderOf(plan_, photo) + FileNameOf(photo.path);
            if (SameFile(final, photo.path))
                Fail(r, kSaveWouldReplacePhoto, FormatMessage(kMsgWouldReplacePhoto, final));
            else if (Publish(staged_, final))
                r.sheet = final;
            else
                Fail(r, kSaveWriteFailed, kMsgSaveFailed);
        }
        staged_.clear();
        if (!staging_.empty()) RemoveTree(staging_);
        staging_.clear();
    }

    // A shared sheet under the name planned for the unit. One left partly
    // filled (the end of the list, or a later person failed) is saved all the
    // same, as the window saves it at the end of a folder.
    void PublishSharedSheet(std::vector<PhotoResult>& persons, const BatchPhoto& last) {
        if (staged_.empty() && drawn_ && !sheet_.sheet.Empty()) {
            const TPaperInfo& paper = plan_.layout.paper;
            SaveOptions save;
            save.saveFolder = staging_;
            save.photoDir = FolderOf(last.path);
            save.photoPath = last.path;
            save.quality = plan_.options.settings.quality;
            save.dpi = paper.dpi;
            save.photoCount = paper.photo_ct;
            save.photosPerPerson = paper.photo_ct_per_person;
            SaveSheet(sheet_.sheet, save, dialogs_, "", &staged_);
        }
        PublishTrimmed([&persons](int person) -> PhotoResult& {
            return persons[static_cast<std::size_t>(person)];
        });
        const std::string& final = plan_.sheetPaths[static_cast<std::size_t>(unit_)];
        const bool published = !staged_.empty() && Publish(staged_, final);
        for (PhotoResult& r : persons) {
            if (r.status != PhotoStatus::Ok || plan_.options.frameOnly) continue;
            if (published)
                r.sheet = final;
            else
                Fail(r, kSaveWriteFailed, dialogs_.last.empty() ? kMsgSaveFailed : dialogs_.last);
        }
    }

  private:
    // A trimmed photo written to the staging folder, waiting for its sheet.
    struct StagedTrimmed {
        int person;
        std::string staged, final, photo;
    };

    template <typename ResultOf>
    void PublishTrimmed(const ResultOf& resultOf) {
        for (const StagedTrimmed& t : trimmed_)
            if (!SameFile(t.final, t.photo) && Publish(t.staged, t.final))
                resultOf(t.person).trimmed = t.final;
        trimmed_.clear();
    }

    const BatchPlan& plan_;
    const Bitmap& back_;
    int unit_;
    int person_ = 0;  // the person of the unit being composed
    std::vector<StagedTrimmed> trimmed_;
    BatchDialogs dialogs_;
    SheetState sheet_;
    std::string staging_;  // this unit's staging folder, once something is written
    std::string staged_;   // the sheet written there, when saved
    bool drawn_ = false;   // a person is on the sheet that is not saved yet
};

}  // namespace

void BatchWorker::RunUnit(int unit, const EmitFn& deliver) {
    const auto& members = plan_.units[static_cast<std::size_t>(unit)];
    const BatchOptions& o = plan_.options;
    const bool oneSheetEach = o.frameOnly || plan_.OnePersonPerSheet();
    UnitSheet sheet(plan_, state_->back, unit);
    std::vector<PhotoResult> persons;  // of a shared sheet, reported once it is saved
    for (int index : members) {
        const BatchPhoto& photo = plan_.photos[static_cast<std::size_t>(index)];
        const auto start = Clock::now();
        std::unique_ptr<PhotoLoadedAhead> ahead;
        if (state_->ahead && state_->ahead->index == index) ahead = std::move(state_->ahead);
        PhotoRun run(plan_, photo, state_->tempImage, std::move(ahead));
        PhotoResult& r = run.result;
        if (o.skipExisting && oneSheetEach && !o.frameOnly &&
            SheetExists(o.outDir, FolderOf(photo.path), photo.path)) {
            r.status = PhotoStatus::Skipped;
        } else if (run.Frame()) {
            r.status = PhotoStatus::Ok;
            if (!o.frameOnly) sheet.Compose(run, photo);
        } else {
            r.status = PhotoStatus::Failed;
        }
        // A person who failed leaves their places empty, as in the window.
        sheet.NextPerson();
        r.ms.emplace_back("total", MsSince(start));
        if (!oneSheetEach) {
            persons.push_back(r);
            continue;
        }
        sheet.PublishOwnSheet(r, photo);
        deliver(r);
    }
    state_->ahead.reset();  // another worker's first photo, or one skipped
    if (oneSheetEach) return;
    sheet.PublishSharedSheet(persons, plan_.photos[static_cast<std::size_t>(members.back())]);
    for (const PhotoResult& r : persons) deliver(r);
}
