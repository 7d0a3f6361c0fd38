// A full sheet of the built-in layout from a 3000 x 3000 working image: the
// frame cut out, four places reduced, sharpened and captioned, marks and
// scale, the trimmed photo written after each place and the sheet saved as
// a JPEG with its density.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <filesystem>

#include "sheet/compose.h"

Bitmap PhotoLikeBitmap(int width, int height);  // reduce_bench.cpp

namespace {

// Captions need Qt's text engine.
void EnsureGuiApplication() {
    static int argc = 1;
    static char name[] = "kambrix_bench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

class NoDialogs : public IDialogs {
  public:
    void ShowMessage(const std::string&, const std::string&, MessageKind) override { ++shown; }
    bool AskYesNo(const std::string&, const std::string&) override { return ++shown, false; }
    std::vector<std::string> OpenFiles(const FileDialogRequest&) override { return {}; }
    int shown = 0;
};

void BM_ComposeDefault(benchmark::State& state) {
    EnsureGuiApplication();
    const Bitmap source = PhotoLikeBitmap(3000, 3000);
    const auto folder = std::filesystem::temp_directory_path() / "kambrix_sheet_bench";
    std::filesystem::create_directories(folder);
    TLayout layout = DefaultLayout();
    layout.paper.text = "FILENAME";
    SheetOptions options;
    options.photoDir = folder.string() + "/";
    const std::string photo = options.photoDir + "IMG_0001.JPG";
    SheetState sheet;
    NoDialogs dialogs;
    Bitmap trim;
    // A frame of 1134 x 1488 working pixels in a 600-pixel view: three times
    // the place, about what a framed portrait gives.
    const ViewFrame frame{150, 60, 227, 298};
    for (auto _ : state) {
        CropTrimmedPhoto(source, frame, 600, trim);
        ComposeReport report;
        if (ComposeSheet(layout, options, trim, Bitmap(), photo, sheet, dialogs, &report) != 0 ||
            !report.saved)
            state.SkipWithError("not saved");
    }
    if (dialogs.shown) state.SkipWithError("a message or question came up");
    state.counters["trim_w"] = trim.Width();
    state.counters["trim_h"] = trim.Height();
}
BENCHMARK(BM_ComposeDefault)
    ->Name("Sheet/ComposeDefault")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
