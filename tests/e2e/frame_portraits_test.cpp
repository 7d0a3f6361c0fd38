// Real portraits framed through the main window with the real face library
// and the 35 x 45 mm passport layout: a frame on every portrait whose face is
// large enough, none on the cat and the profile, the chin on the layout's
// chin line, and the head top measured against the layout's head-top line.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "e2e/portrait_fixture.h"

namespace {

struct TruthRow {
    std::string file;
    int width = 0, height = 0;
    int faceLeft = -1, faceTop = -1, faceRight = -1, faceBottom = -1, chinY = -1, headTopY = -1;
};

int Field(const std::vector<std::string>& f, std::size_t i) {
    return i < f.size() && !f[i].empty() ? std::stoi(f[i]) : -1;
}

std::vector<TruthRow> ReadTruth(const std::string& folder) {
    std::vector<TruthRow> rows;
    std::ifstream in(folder + "/truth.csv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        for (int i = 0; i < 10 && std::getline(ss, cell, ','); ++i) f.push_back(cell);
        if (f.size() < 10) continue;
        rows.push_back({f[0], Field(f, 1), Field(f, 2), Field(f, 3), Field(f, 4), Field(f, 5),
                        Field(f, 6), Field(f, 8), Field(f, 9)});
    }
    return rows;
}

// Portraits the method is known to miss, and why; a later head-top finder
// should take them off this list.
const std::vector<std::pair<std::string, std::string>> kKnownMisses{
    {"jurvetson_musk_exif6_rotated.jpg",
     "tight crop: the head top estimated 30 % of the face above its top lies above the picture, "
     "and the frame then needs 90.7 % of its height, which the size check refuses"},
};

bool KnownMiss(const std::string& file) {
    for (const auto& [name, why] : kKnownMisses)
        if (name == file) return true;
    return false;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double at = p * (v.size() - 1);
    const std::size_t lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - lo);
}

using FramePortraits = PortraitFormTest;

TEST_F(FramePortraits, GoalsOnTheSharedPortraits) {
    const TLayout layout = form1->CurrentLayout();
    const TPhotoSlot& slot = layout.slots[0];
    int inScope = 0, framed = 0, chinsMeasured = 0, chinsWithin = 0;
    std::vector<double> headErrors;
    std::printf("%-36s %5s %6s %7s %7s %s\n", "photo", "code", "scope", "chin%", "head%", "");
    for (const TruthRow& t : ReadTruth(folder)) {
        host.dialogs.shown.clear();
        Open(folder + "/" + t.file);
        const FramingResult& r = form1->FLastFraming;
        const int w = form1->FTempBmp2.Width(), h = form1->FTempBmp2.Height();
        const bool sameShape = (w >= h) == (t.width >= t.height);
        const double scale = static_cast<double>(std::max(w, h)) / std::max(t.width, t.height);
        const int side = std::max(w, h);
        const double offY = (side - h) / 2;  // the photo sits centred in the square
        const bool hasFace = t.faceLeft >= 0;
        // The detector's box is about 1.25 times the landmark box.
        const double boxW = (t.faceRight - t.faceLeft) * scale * 1.25;
        const double boxH = (t.faceBottom - t.faceTop) * scale * 1.25;
        // A face larger than half the picture both ways counts as no face.
        const bool closeUp = hasFace && boxW * 2 > side && boxH * 2 > side;
        const bool scope = hasFace && sameShape && boxW >= 200 && !closeUp;
        if (!hasFace || closeUp) {
            EXPECT_EQ(r.code, -10) << t.file << ": a frame where none is wanted";
        }
        std::string chinText = "-", headText = "-";
        if (scope) {
            ++inScope;
            if (!KnownMiss(t.file)) {
                EXPECT_EQ(r.code, 0) << t.file;
            }
            if (r.code == 0) {
                ++framed;
                const double fh = r.frameH;
                if (t.chinY >= 0) {
                    const double chinLine =
                        r.photoBox.top + fh * (slot.height - slot.bny) / slot.height;
                    const double e = (t.chinY * scale + offY - chinLine) * 100 / fh;
                    ++chinsMeasured;
                    chinsWithin += std::abs(e) <= 2.0;
                    chinText = std::to_string(e).substr(0, 5);
                }
                if (t.headTopY >= 0) {
                    const double headLine = r.photoBox.top + fh * slot.hny / slot.height;
                    const double e = (t.headTopY * scale + offY - headLine) * 100 / fh;
                    headErrors.push_back(std::abs(e));
                    headText = std::to_string(e).substr(0, 5);
                }
            }
        }
        std::printf("%-36s %5d %6s %7s %7s face %d,%d %dx%d headTop %d chin %d frame %dx%d of %d\n",
                    t.file.c_str(), r.code, scope ? "in" : "out", chinText.c_str(),
                    headText.c_str(), r.face.left, r.face.top, r.face.Width(), r.face.Height(),
                    r.headTop, r.chinLine, r.frameW, r.frameH, r.width);
    }
    std::printf(
        "framed %d of %d in scope; chin within 2 %%: %d of %d; head top |error| median "
        "%.2f %% p90 %.2f %% (%zu photos)\n",
        framed, inScope, chinsWithin, chinsMeasured, Percentile(headErrors, 0.5),
        Percentile(headErrors, 0.9), headErrors.size());
    EXPECT_GE(framed, inScope - static_cast<int>(kKnownMisses.size()));
    EXPECT_GE(chinsWithin * 10, chinsMeasured * 9);
}

}  // namespace
