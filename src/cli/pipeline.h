#pragma once
// One batch work unit through the window's own core: load, frame, cut out the
// frame, compose, save. A unit is one photo, or with several persons per sheet
// the photos that share one sheet. Outputs are written into a staging folder
// beside their final place and renamed into it, so an interrupted or killed
// worker leaves no half-written sheet or trimmed photo under a real name.
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "cli/photo_list.h"
#include "cli/worker_pool.h"
#include "detect/auto_frame.h"
#include "imaging/photo.h"
#include "layout/layout.h"

struct BatchPlan {
    BatchOptions options;  // paths absolute
    TLayout layout;
    std::string appDir;  // program folder, with trailing separator
    std::vector<BatchPhoto> photos;
    std::vector<std::vector<int>> units;  // indices into photos
    // With several persons per sheet: the sheet path of each unit, chosen up
    // front as the window would number them one after another.
    std::vector<std::string> sheetPaths;
    int runId = 0;  // names the run's staging folders (the planning process's id)
    bool OnePersonPerSheet() const;
};

// The framing pass's options for one photo of the plan.
AutoFrameOptions BatchFramingOptions(const BatchPlan& plan, const BatchPhoto& photo,
                                     const std::string& tempImage);

// Builds the units and, for shared sheets, their numbered sheet names: the
// first free "Index_%04d.jpg" names of each sheet folder, in unit order.
void PlanUnits(BatchPlan& plan);

// The staging folder of a unit whose sheet goes to `sheetFolder`.
std::string StagingFolder(const BatchPlan& plan, const std::string& sheetFolder, int unit);
// Removes what a lost unit may have left in its staging folders.
void RemoveStaging(const BatchPlan& plan, int unit);

// A photo loaded ahead of its unit: the parent loads the first unit's photo
// while the face models are read (one core is idle then), and the worker
// forked next takes it instead of loading it again.
struct PhotoLoadedAhead {
    int index = -1;  // into the plan's photos
    WorkingImages images;
    LoadOutcome outcome;
    int ms = 0;
};

// Loads photo `index` of the plan as its unit would.
std::unique_ptr<PhotoLoadedAhead> LoadAhead(const BatchPlan& plan, int index);

// A worker's lasting state: the background picture, the face library kept
// resident between passes, the application for caption text.
class BatchWorker {
  public:
    explicit BatchWorker(const BatchPlan& plan, std::unique_ptr<PhotoLoadedAhead> ahead = nullptr);
    ~BatchWorker();
    BatchWorker(const BatchWorker&) = delete;
    BatchWorker& operator=(const BatchWorker&) = delete;

    void RunUnit(int unit, const EmitFn& deliver);

  private:
    struct State;
    const BatchPlan& plan_;
    std::unique_ptr<State> state_;
};
