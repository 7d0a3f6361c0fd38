#include "cli/batch_run.h"

#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <set>

#include "cli/face_models.h"
#include "cli/progress.h"
#include "detect/auto_frame.h"
#include "detect/face_library.h"
#include "detect/recognition_log.h"
#include "platform/paths.h"
#include "sheet/output_paths.h"

namespace {

std::string CheckLayout(const BatchOptions& o, BatchPlan& plan) {
    plan.layout = DefaultLayout();
    if (!o.layoutPath.empty()) {
        if (!FileExists(o.layoutPath)) return "no such layout file: " + o.layoutPath;
        if (!LoadLayoutFile(o.layoutPath, plan.layout))
            return "cannot read the layout " + o.layoutPath;
    }
    if (!LayoutCanFrame(plan.layout))
        return "the layout " + (o.layoutPath.empty() ? std::string("(built-in)") : o.layoutPath) +
               " cannot frame a photo (its first place is not taller than its margins)";
    return {};
}

std::string CheckProgramFolder(const std::string& appDir) {
    for (const std::string& name : {std::string(kFaceCascadeName), FaceLibraryFileName()})
        if (!FileExists(appDir + name))
            return name + " is missing from the program folder " + appDir;
    return {};
}

class Progress {
  public:
    Progress(std::ostream& err, bool terminal, int total)
        : err_(err), terminal_(terminal), start_(std::chrono::steady_clock::now()) {
        counts_.total = total;
        if (terminal_) Draw();
    }

    void Add(const PhotoResult& result) {
        counts_.Add(result.status);
        if (terminal_)
            Draw();
        else
            err_ << FormatPhotoLine(counts_, result) << '\n' << std::flush;
    }

    void Finish(bool interrupted) {
        if (terminal_) err_ << "\r\033[K";
        err_ << FormatSummary(counts_, Seconds(), interrupted) << '\n' << std::flush;
    }

    const ProgressCounts& Counts() const { return counts_; }

  private:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    void Draw() { err_ << "\r\033[K" << FormatProgressBar(counts_, Seconds()) << std::flush; }

    std::ostream& err_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    ProgressCounts counts_;
};

int ExitStatus(const ProgressCounts& counts) {
    if (StopSignal() != 0) return 128 + StopSignal();
    return counts.failed > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace

std::string PrepareBatch(const BatchOptions& given, const std::string& appDir, BatchPlan& plan) {
    plan.options = given;
    BatchOptions& o = plan.options;
    o.layoutPath = AbsolutePath(o.layoutPath);
    o.outDir = o.outDir.empty() ? o.outDir : WithTrailingSeparator(AbsolutePath(o.outDir));
    o.reportPath = AbsolutePath(o.reportPath);
    plan.appDir = appDir;
    if (std::string e = CheckLayout(o, plan); !e.empty()) return e;
    if (std::string e = CheckProgramFolder(appDir); !e.empty()) return e;
    // Better told now than after the work: the report's folder must be there.
    if (!o.reportPath.empty() && !MakeFolders(FolderOf(o.reportPath)))
        return "cannot create the report's folder " + FolderOf(o.reportPath);
    if (!o.outDir.empty() && FileExists(AbsolutePath(given.outDir)))
        return "--out names a file, not a folder: " + given.outDir;
    PhotoListResult list = BuildPhotoList(o.inputs);
    if (!list.error.empty()) return list.error;
    if (o.shard.Active() && !o.frameOnly && !plan.OnePersonPerSheet())
        return "--shard needs a layout with one person per sheet: the persons of a shared sheet "
               "cannot be split over shards";
    plan.photos = TakeShard(list.photos, o.shard);
    if (!o.frameOnly)
        if (std::string e = FindOutputClash(plan.photos, o.outDir); !e.empty()) return e;
    PlanUnits(plan);
    return {};
}

namespace {

// Every log the run may add to gets the line that opens a run, once and
// before any worker writes, as the window's sheet button does.
void MarkRunInLogs(const BatchPlan& plan) {
    std::set<std::string> folders;
    for (const BatchPhoto& photo : plan.photos)
        folders.insert(LogFolder(plan.options.outDir, FolderOf(photo.path)));
    for (const std::string& folder : folders) MarkRunInRecognitionLog(folder);
}

// Runs the plan's units on the workers; the results in the order of the
// photo list, those of photos never started left empty.
std::vector<std::optional<PhotoResult>> RunPlan(const BatchPlan& plan, Progress& progress,
                                                bool endsProcess) {
    std::vector<std::optional<PhotoResult>> results(plan.photos.size());
    std::vector<std::size_t> reported(plan.units.size(), 0);
    // A unit's photos report in their order.
    const auto record = [&](int unit, const PhotoResult& result) {
        const auto& members = plan.units[static_cast<std::size_t>(unit)];
        std::size_t& n = reported[static_cast<std::size_t>(unit)];
        if (n >= members.size()) return;
        results[static_cast<std::size_t>(members[n++])] = result;
        progress.Add(result);
    };
    std::optional<BatchWorker> worker;
    PoolWork work;
    work.units = static_cast<int>(plan.units.size());
    work.jobs = plan.options.jobs > 0 ? plan.options.jobs : UsableCores();
    // One worker takes the photos in sorted order, as the window does; several
    // take the largest first, so that they finish together.
    if (work.jobs > 1) work.order = LargestUnitsFirst(plan.photos, plan.units);
    // The first unit's photo, loaded by the parent while it reads the models,
    // goes to the first worker forked; the parent drops its copy at once.
    std::unique_ptr<PhotoLoadedAhead> ahead;
    work.startWorker = [&] { worker.emplace(plan, std::move(ahead)); };
    work.afterFork = [&] { ahead.reset(); };
    work.stopWorker = [&] { worker.reset(); };
    work.runUnit = [&](int unit, const EmitFn& deliver) { worker->RunUnit(unit, deliver); };
    work.onResult = record;
    work.onLost = [&](int unit, const std::string& why) {
        const auto& members = plan.units[static_cast<std::size_t>(unit)];
        const std::size_t& n = reported[static_cast<std::size_t>(unit)];
        while (n < members.size()) {  // record() moves n on
            PhotoResult lost;
            lost.file = plan.photos[static_cast<std::size_t>(members[n])].given;
            lost.code = kBatchWorkerLost;
            lost.message = why;
            record(unit, lost);
        }
        RemoveStaging(plan, unit);
    };
    InstallStopHandlers();
    // --jobs N is N cores of work: every process of the run works on its
    // calling thread alone (set before forking, so the workers start so too).
    const CallingThreadOnly oneThreadEach;
    // With several workers the parent reads the models before forking them,
    // on the library's own threads (no worker runs yet), and the workers share
    // those pages instead of each spending most of a second reading the same
    // models. Forking is safe once they are read: the library's loading
    // threads have delivered everything and hold none of its locks, and a
    // worker never unloads the library, so their handles are never joined.
    std::unique_ptr<ResidentFaceModels> shared;
    if (work.jobs > 1 && work.units > 1) {
        const int first = plan.units[static_cast<std::size_t>(work.order.front())].front();
        const auto loadFirst = [&] {
            if (!plan.options.skipExisting) ahead = LoadAhead(plan, first);
        };
        shared =
            std::make_unique<ResidentFaceModels>(plan.appDir, FaceLoadThreads::Helpers, loadFirst);
    }
    RunPool(work);
    if (endsProcess) static_cast<void>(shared.release());  // left to the end of the process
    return results;
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, const std::string& appDir,
                    std::ostream& out, std::ostream& err, bool terminal, bool endsProcess) {
    const ParseResult parsed = ParseBatchOptions(args);
    if (parsed.status == ParseStatus::Help) {
        out << BatchHelpText();
        return kExitOk;
    }
    BatchPlan plan;
    std::string error = parsed.error;
    if (parsed.status == ParseStatus::Run) error = PrepareBatch(parsed.options, appDir, plan);
    if (!error.empty()) {
        err << "kambrix-batch: " << error << '\n';
        return kExitUsage;
    }

    MarkRunInLogs(plan);
    Progress progress(err, terminal, static_cast<int>(plan.photos.size()));
    std::vector<std::optional<PhotoResult>> results = RunPlan(plan, progress, endsProcess);
    progress.Finish(StopRequested());
    if (!plan.options.reportPath.empty()) {
        std::vector<PhotoResult> done;
        for (auto& r : results)
            if (r) done.push_back(std::move(*r));
        if (!SaveReport(plan.options.reportPath, plan.options.reportFormat == ReportFormat::Csv,
                        done, error)) {
            err << "kambrix-batch: " << error << '\n';
            return StopRequested() ? ExitStatus(progress.Counts()) : kExitSomeFailed;
        }
    }
    return ExitStatus(progress.Counts());
}
