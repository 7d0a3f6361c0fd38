// The layout loader on any file. A layout it accepts, or keeps while failing,
// never asks for a frame or sheet beyond the sane sizes; a refused file
// changes nothing.
#include <string>

#include "fuzz_support.h"
#include "layout/layout.h"

namespace {

bool Same(const TLayout& a, const TLayout& b) {
    const TPaperInfo &p = a.paper, &q = b.paper;
    return p.dpi == q.dpi && p.width == q.width && p.height == q.height &&
           p.photo_ct == q.photo_ct && p.photo_ct_per_person == q.photo_ct_per_person &&
           p.fontsize == q.fontsize && p.font == q.font && p.text == q.text &&
           p.bg_img_name == q.bg_img_name && a.haarTop == b.haarTop && a.haarBottom == b.haarBottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchPath("layout.ini");
    WriteScratch(path, data, size);
    const TLayout before = DefaultLayout();
    TLayout layout = before;
    const bool ok = LoadLayoutFile(path, layout);
    const FrameLimits limits = UpdateFrameLimits(layout);
    Check(limits.baseW <= kMaxLayoutPixels && limits.baseH <= kMaxLayoutPixels,
          "a loaded layout has a place beyond the sane size");
    Check(layout.paper.width <= kMaxLayoutPixels && layout.paper.height <= kMaxLayoutPixels,
          "a loaded layout has a paper beyond the sane size");
    Check(layout.paper.photo_ct <= kMaxPhotoSlots, "more places than the sheet holds");
    if (ok) {
        Check(layout.paper.width > 0 && layout.paper.height > 0 && layout.paper.photo_ct > 0,
              "an accepted layout without paper or places");
        Check(limits.baseW <= layout.paper.width && limits.baseH <= layout.paper.height,
              "an accepted layout with a place larger than its paper");
    } else if (!Same(layout, before)) {
        const TPaperInfo& p = layout.paper;
        Check(p.width <= 0 || p.height <= 0 || p.photo_ct <= 0,
              "a failed load kept values of a layout that has paper and places");
    }
    return 0;
}
