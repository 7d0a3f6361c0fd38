// Framing passes side by side in threads with the real face library, as the
// batch command runs them: each thread gets the answer a lone pass gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "detect/auto_frame.h"
#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace {

TEST(ParallelPasses, EachThreadGetsTheAnswerOfALonePass) {
    const std::string appDir = ProgramDir().string() + "/";
    Bitmap square;
    ASSERT_EQ(
        DecodeJpegFile((SourceDir() / "tests/unit/facedetect/face_frontal_400px_cc0.jpg").string(),
                       square),
        0);
    ASSERT_EQ(square.Width(), square.Height());
    TLayout layout = DefaultLayout();
    TempFolder work;
    AutoFrameOptions base;
    base.appDir = appDir;
    base.minFaceSize = 100;
    base.saveFace = false;
    base.sizeCheck = false;
    const FramingHooks noWaits{{}, {}, [](int) {}};

    auto pass = [&](const std::string& temp, FramingResult& result) {
        AutoFrameOptions o = base;
        o.tempImagePath = work.Dir() + temp;
        FaceLibrary library(appDir + FaceLibraryFileName());
        RunFramingPass(square, o, layout, library, result, noWaits);
    };
    FramingResult lone;
    pass("lone.jpg", lone);
    ASSERT_EQ(lone.code, 0) << "the library or its data is missing from " << appDir;

    constexpr int kThreads = 4;
    std::vector<FramingResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { pass(std::to_string(i) + ".jpg", results[i]); });
    for (std::thread& t : threads) t.join();
    for (const FramingResult& r : results) {
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.face, lone.face);
        EXPECT_EQ(r.chins, lone.chins);
        EXPECT_EQ(r.chin, lone.chin);
        EXPECT_EQ(r.photoBox, lone.photoBox);
        EXPECT_FALSE(std::filesystem::exists(r.tempImagePath));
    }
}

}  // namespace
