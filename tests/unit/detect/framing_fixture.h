#pragma once
// A framing pass over a square picture against a fake face library, with the
// 35 x 45 mm passport layout; shared by the tests of the pass.
#include <gtest/gtest.h>

#include "detect/auto_frame.h"
#include "support/fake_face_library.h"
#include "support/temp_folder.h"

// 35 x 45 mm at 300 dpi: 437 x 555 with 59 above the head and 94 below the chin.
inline TLayout PassportLayout() {
    TLayout l;
    l.paper.dpi = 300;
    l.paper.width = 1051;
    l.paper.height = 1500;
    l.paper.photo_ct = 1;
    l.paper.photo_ct_per_person = 1;
    l.slots[0].width = 437;
    l.slots[0].height = 555;
    l.slots[0].hny = 59;
    l.slots[0].bny = 94;
    l.haarTop = 30;
    l.haarBottom = 7;
    return l;
}

class FramingPass : public ::testing::Test {
  protected:
    FramingPass() : square(1000, 1000, kBlack), layout(PassportLayout()) {
        app.Write(kFaceCascadeName, "cascade");
        options.appDir = app.Dir();
        options.saveFace = false;
        options.photoDir = photos.Dir();
        options.photoPath = photos.Dir() + "photo.jpg";
    }
    int Run() { return RunFramingPass(square, options, layout, library, result, hooks); }

    TempFolder app, photos;
    Bitmap square;
    TLayout layout;
    AutoFrameOptions options;
    FakeFaceLibrary library;
    FramingResult result;
    FramingHooks hooks{{}, {}, [](int) {}};
};
