#include "eval_truth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Splits one CSV line; fields may be quoted and hold commas.
std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += '"', ++i;
            else
                quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

std::optional<int> Number(const std::string& s) {
    if (s.empty()) return std::nullopt;
    return std::stoi(s);
}

void ReadOtherFaces(Truth& t) {
    static const std::regex other(R"(box (\d+),(\d+),(\d+),(\d+),? chin (\d+),(\d+))");
    for (std::sregex_iterator it(t.notes.begin(), t.notes.end(), other), end; it != end; ++it) {
        const auto& m = *it;
        t.otherFaces.push_back(
            {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])});
        t.otherChinY.push_back(std::stoi(m[6]));
    }
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

bool ReadTruth(const fs::path& csv, std::vector<Truth>& out) {
    std::ifstream in(csv);
    std::string line;
    if (!std::getline(in, line)) return false;
    while (std::getline(in, line)) {
        const auto f = SplitCsv(line);
        if (f.size() < 13) continue;
        Truth t;
        t.file = f[0];
        t.width = std::stoi(f[1]);
        t.height = std::stoi(f[2]);
        const auto l = Number(f[3]), top = Number(f[4]), r = Number(f[5]), b = Number(f[6]);
        if (l && top && r && b) t.face = Box{*l, *top, *r, *b};
        t.chinY = Number(f[8]);
        t.headTopY = Number(f[9]);
        t.notes = f[12];
        t.fields = f;
        ReadOtherFaces(t);
        out.push_back(t);
    }
    return !out.empty();
}

Outcome Judge(const Truth& truth, const Placement& place, bool loaded, bool faceFound,
              const Box& face, bool chinFound, int chinRow) {
    Outcome o;
    o.expectFace = truth.face.has_value();
    o.faceFound = faceFound;
    if (!loaded) o.note += " library-not-loaded";
    if (!o.expectFace) return o;
    const Box main = place.Map(*truth.face);
    o.inScope = (main.r - main.l) * 1.25 >= 200;
    std::vector<Box> boxes{main};
    std::vector<std::optional<int>> chins{truth.chinY ? std::optional<int>(place.Y(*truth.chinY))
                                                      : std::nullopt};
    for (std::size_t i = 0; i < truth.otherFaces.size(); ++i) {
        boxes.push_back(place.Map(truth.otherFaces[i]));
        chins.push_back(place.Y(truth.otherChinY[i]));
    }
    if (!faceFound) return o;
    std::size_t hit = 0;
    while (hit < boxes.size() && !boxes[hit].Contains(face.Cx(), face.Cy())) ++hit;
    const Box& ref = boxes[hit < boxes.size() ? hit : 0];
    const double fh = ref.b - ref.t;
    o.faceOk = hit < boxes.size();
    o.centreErr = std::hypot(face.Cx() - ref.Cx(), face.Cy() - ref.Cy()) * 100 / fh;
    o.sizeRatio = double(face.r - face.l) / (ref.r - ref.l);
    o.chinExpected = o.faceOk && chins[hit].has_value();
    const double boxHeight = face.b - face.t;
    if (o.chinExpected) o.chinInBox = (*chins[hit] - face.t) / boxHeight;
    if (o.faceOk && hit == 0 && truth.headTopY)
        o.headAboveBox = (face.t - place.Y(*truth.headTopY)) / boxHeight;
    o.chinFound = chinFound;
    if (o.chinExpected && chinFound) {
        o.chinErr = (chinRow - *chins[hit]) * 100 / fh;
        o.aboveMouth = o.chinErr < -20;
    }
    return o;
}

void PrintHeader() {
    std::printf("%-36s %5s %-5s %4s %6s %5s %5s %5s %5s %7s %6s %6s %6s %7s\n", "photo", "side",
                "scope", "face", "cntr%", "size", "chinB", "headB", "chin", "chin%", "ms1", "ms2",
                "msChin", "msPass");
}

void PrintOutcome(const Truth& truth, const Outcome& o) {
    const char* face = !o.faceFound ? "none" : o.faceOk ? "ok" : "BAD";
    const char* chin = !o.chinExpected ? "-" : !o.chinFound ? "MISS" : o.aboveMouth ? "HIGH" : "ok";
    std::printf(
        "%-36s %5d %-5s %4s %6.1f %5.2f %5.2f %5.2f %5s %+7.1f %6.1f %6.1f %6.1f %7.1f%s%s\n",
        truth.file.substr(0, 36).c_str(), o.side, o.inScope ? "in" : "out", face, o.centreErr,
        o.sizeRatio, o.chinInBox.value_or(0), o.headAboveBox.value_or(0), chin, o.chinErr, o.faceMs,
        o.face2Ms, o.chinMs, o.passMs, o.secondSearch ? " (second search)" : "", o.note.c_str());
}

void Summary::Add(const Outcome& o) {
    all_.push_back(o);
}

void Summary::Print() const {
    int inScope = 0, facesOk = 0, chinTruth = 0, chinsOk = 0, falseFaces = 0, noFaceSet = 0;
    std::vector<double> centre, size, chinAbs, faceMs, chinMs, passMs, chinInBox, headAbove;
    double chinMax = 0;
    for (const Outcome& o : all_) {
        faceMs.push_back(o.faceMs);
        passMs.push_back(o.passMs);
        if (o.chinMs > 0) chinMs.push_back(o.chinMs);
        if (!o.expectFace) {
            ++noFaceSet;
            falseFaces += o.faceFound;
            continue;
        }
        if (!o.inScope) continue;
        ++inScope;
        facesOk += o.faceOk;
        if (o.faceOk) centre.push_back(o.centreErr), size.push_back(o.sizeRatio);
        if (o.chinInBox) chinInBox.push_back(*o.chinInBox);
        if (o.headAboveBox) headAbove.push_back(*o.headAboveBox);
        if (!o.chinExpected) continue;
        ++chinTruth;
        if (o.chinFound && !o.aboveMouth) {
            ++chinsOk;
            chinAbs.push_back(std::abs(o.chinErr));
            chinMax = std::max(chinMax, std::abs(o.chinErr));
        }
    }
    std::printf(
        "\nin scope: faces right %d/%d; centre error median %.1f %%, size ratio median %.2f\n",
        facesOk, inScope, Median(centre), Median(size));
    std::printf(
        "true chin at %.3f box heights below the box top, head top %.3f above it (medians)\n",
        Median(chinInBox), Median(headAbove));
    std::printf("no-face photos with a face accepted: %d/%d\n", falseFaces, noFaceSet);
    std::printf(
        "chins found %d/%d; |error| median %.2f %%, 90th %.2f %%, max %.2f %% of the face height\n",
        chinsOk, chinTruth, Median(chinAbs), Percentile(chinAbs, 0.9), chinMax);
    std::printf("median ms: first search %.1f, chin %.1f, whole pass %.1f\n", Median(faceMs),
                Median(chinMs), Median(passMs));
}

std::optional<PreparedPhoto> PreparePhoto(const fs::path& file, const Truth& truth) {
    cv::Mat photo = cv::imread(file.string(), cv::IMREAD_COLOR);  // EXIF orientation applied
    if (photo.empty()) return std::nullopt;
    PreparedPhoto p;
    p.sizeMatchesTruth = photo.cols == truth.width && photo.rows == truth.height;
    const int longSide = std::max(photo.cols, photo.rows);
    if (longSide >= 3000) {
        const int w = photo.cols * 3000 / longSide, h = photo.rows * 3000 / longSide;
        cv::resize(photo, photo, cv::Size(w, h), 0, 0, cv::INTER_AREA);
        p.place.scale = 3000.0 / longSide;
    }
    const int side = std::max(photo.cols, photo.rows);
    p.place.offsetX = (side - photo.cols) / 2;
    p.place.offsetY = (side - photo.rows) / 2;
    p.photo = {p.place.offsetX, p.place.offsetY, p.place.offsetX + photo.cols,
               p.place.offsetY + photo.rows};
    p.square = cv::Mat(side, side, CV_8UC3, cv::Scalar(0, 0, 0));
    photo.copyTo(p.square(cv::Rect(p.place.offsetX, p.place.offsetY, photo.cols, photo.rows)));
    return p;
}

bool ForEachPortrait(const fs::path& dir, const std::string& only,
                     const std::function<bool(const Truth&)>& wanted,
                     const std::function<void(const Truth&, const PreparedPhoto&)>& visit) {
    std::vector<Truth> truths;
    if (!ReadTruth(dir / "truth.csv", truths)) {
        std::fprintf(stderr, "cannot read %s\n", (dir / "truth.csv").c_str());
        return false;
    }
    for (const Truth& truth : truths) {
        if (!only.empty() && truth.file.find(only) == std::string::npos) continue;
        if (!wanted(truth)) continue;
        const auto prepared = PreparePhoto(dir / truth.file, truth);
        if (prepared) visit(truth, *prepared);
    }
    return true;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}
