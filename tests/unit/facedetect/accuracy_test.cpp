// The library on the shared portraits, driven as the program drives it (the
// same code as facedetect_eval): accuracy only, no timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "eval_pass.h"
#include "eval_truth.h"
#include "face_library_fixture.h"
#include "support/temp_folder.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

TEST_F(FaceLibraryTest, PortraitsFacesAndChinsMeetTheirGoals) {
    const std::string portraits = Portraits();
    if (portraits.empty())
        GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are absent";
    std::vector<Truth> truths;
    ASSERT_TRUE(ReadTruth(portraits + "/truth.csv", truths));
    TempFolder temp;
    const auto file = temp.Path() / "kambrix_temp.jpg";
    std::string wrongFaces, falseFaces, missedChins, highChins;
    int inScope = 0, chinsExpected = 0, chinsFound = 0;
    std::vector<double> chinErrors;
    for (const Truth& truth : truths) {
        const auto prepared = PreparePhoto(portraits + "/" + truth.file, truth);
        ASSERT_TRUE(prepared) << truth.file;
        ASSERT_TRUE(WriteJpeg(file, prepared->square));
        PassResult r;
        SearchPhoto(*lib_, prepared->square, file, r);
        const Outcome o =
            Judge(truth, prepared->place, true, r.n > 0, r.face, r.chinFound, r.chinRow);
        if (!o.expectFace && o.faceFound) falseFaces += " " + truth.file;
        if (!o.inScope) continue;
        ++inScope;
        if (!o.faceOk) wrongFaces += " " + truth.file;
        if (!o.chinExpected) continue;
        ++chinsExpected;
        if (!o.chinFound)
            missedChins += " " + truth.file + r.note;
        else if (o.aboveMouth)
            highChins += " " + truth.file;
        else
            ++chinsFound, chinErrors.push_back(std::abs(o.chinErr));
    }
    EXPECT_EQ(inScope, 18);
    EXPECT_EQ(wrongFaces, "") << "the face is not the one used";
    EXPECT_EQ(falseFaces, "") << "a face was used where there is none";
    EXPECT_EQ(highChins, "") << "chin above the mouth";
    EXPECT_GE(chinsFound * 100, chinsExpected * 95) << "chins missed:" << missedChins;
    EXPECT_LE(Median(chinErrors), 2.5) << "median chin error, % of the face height";
}
