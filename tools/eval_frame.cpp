#include "eval_frame.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <regex>

namespace fs = std::filesystem;

TrueFrame CorrectFrameAround(double headTop, double chin, double centreX, const TPhotoSlot& slot) {
    const double a = slot.height, s = (chin - headTop) * a / (a - slot.hny - slot.bny);
    TrueFrame f;
    f.t = headTop - slot.hny * s / a;
    f.b = chin + slot.bny * s / a;
    const double fw = slot.width * f.Height() / a;
    f.l = centreX - fw / 2;
    f.r = centreX + fw / 2;
    return f;
}

CorrectFrame ReachOf(const TrueFrame& frame, const Box& photo, int side) {
    const double fh = frame.Height(), fw = frame.Width();
    CorrectFrame c;
    const double shift = std::max({0.0, photo.t - frame.t, frame.b - photo.b});
    c.outside = shift * 100 / fh;
    if (fh > photo.b - photo.t || fw > photo.r - photo.l || c.outside > kChinTolerance)
        c.reach = Reach::kNoFit;
    else if (fw * 100 > side * 90.0 || fh * 100 > side * 90.0)
        c.reach = Reach::kOverSizeCheck;
    return c;
}

CorrectFrame Correct(const Truth& t, const PreparedPhoto& p, const TPhotoSlot& slot) {
    const double centreX = t.face ? p.place.Map(*t.face).Cx() : p.photo.Cx();
    const TrueFrame frame =
        CorrectFrameAround(p.place.Y(*t.headTopY), p.place.Y(*t.chinY), centreX, slot);
    return ReachOf(frame, p.photo, p.square.cols);
}

namespace {

int Need(double pixels) {
    return pixels > 0 ? static_cast<int>(std::ceil(pixels)) : 0;
}

// Grows the padding on both sides of one axis alike until the frame covers at
// most kPadFrameShare of the padded length.
void Spread(double frame, int length, int& before, int& after) {
    const int extra = Need(frame / kPadFrameShare - (length + before + after));
    before += extra / 2;
    after += extra - extra / 2;
}

std::string Shifted(const std::string& field, int by) {
    return field.empty() ? field : std::to_string(std::stoi(field) + by);
}

// The other faces named in the notes ("box l,t,r,b chin x,y", optionally
// "headtop y") moved with the photo; the rest of the text stays.
std::string ShiftNotes(const std::string& notes, const Padding& pad) {
    static const std::regex other(
        R"(box (\d+),(\d+),(\d+),(\d+)(,? chin )(\d+),(\d+)( headtop (\d+))?)");
    std::string out;
    auto last = notes.cbegin();
    for (std::sregex_iterator it(notes.begin(), notes.end(), other), end; it != end; ++it) {
        const std::smatch& m = *it;
        const auto x = [&](int i) { return std::to_string(std::stoi(m[i]) + pad.left); };
        const auto y = [&](int i) { return std::to_string(std::stoi(m[i]) + pad.top); };
        out.append(last, m[0].first);
        out +=
            "box " + x(1) + "," + y(2) + "," + x(3) + "," + y(4) + m[5].str() + x(6) + "," + y(7);
        if (m[8].matched) out += " headtop " + y(9);
        last = m[0].second;
    }
    out.append(last, notes.cend());
    return out;
}

// The layout's frame as people name it ("35x45") from its place's cut size
// at 300 dpi, the resolution every shipped layout uses.
std::string FrameName(const TPhotoSlot& slot) {
    const auto mm = [](int dots) { return std::to_string(std::lround(dots * 25.4 / 300)); };
    return mm(slot.widthIn) + "x" + mm(slot.heightIn);
}

}  // namespace

Padding PaddingFor(const Truth& t, const TPhotoSlot& slot) {
    if (!t.headTopY || !t.chinY) return {};
    const double centreX = t.face ? (t.face->l + t.face->r) / 2.0 : t.width / 2.0;
    const TrueFrame f = CorrectFrameAround(*t.headTopY, *t.chinY, centreX, slot);
    const Box photo{0, 0, t.width, t.height};
    if (ReachOf(f, photo, std::max(t.width, t.height)).reach == Reach::kFits) return {};
    const double aboveBelow = kPadMargin * f.Height(), beside = kPadMargin * f.Width();
    Padding p;
    p.top = Need(aboveBelow - f.t);
    p.bottom = Need(f.b + aboveBelow - t.height);
    p.left = Need(beside - f.l);
    p.right = Need(f.r + beside - t.width);
    Spread(f.Height(), t.height, p.top, p.bottom);
    Spread(f.Width(), t.width, p.left, p.right);
    const double faceMiddle = t.face ? (t.face->t + t.face->b) / 2.0 : (f.t + f.b) / 2;
    p.bottom += Need((faceMiddle + p.top) / kPadFaceRow - (t.height + p.top + p.bottom));
    return p;
}

cv::Mat PadImage(const cv::Mat& photo, const Padding& pad, double blurSigma) {
    cv::Mat out;
    cv::copyMakeBorder(photo, out, pad.top, pad.bottom, pad.left, pad.right, cv::BORDER_REPLICATE);
    if (blurSigma > 0 && pad.Any()) {
        cv::Mat blurred;
        cv::GaussianBlur(out, blurred, cv::Size(), blurSigma);
        photo.copyTo(blurred(cv::Rect(pad.left, pad.top, photo.cols, photo.rows)));
        out = blurred;
    }
    return out;
}

std::vector<std::string> PaddedRow(const Truth& t, const Padding& pad, const TPhotoSlot& slot) {
    std::vector<std::string> row = t.fields;
    row.resize(std::max<std::size_t>(row.size(), 13));
    row[1] = std::to_string(t.width + pad.left + pad.right);
    row[2] = std::to_string(t.height + pad.top + pad.bottom);
    for (const int x : {3, 5, 7}) row[x] = Shifted(row[x], pad.left);
    for (const int y : {4, 6, 8, 9}) row[y] = Shifted(row[y], pad.top);
    row[12] = ShiftNotes(row[12], pad) + "; padded " + std::to_string(pad.top) + "/" +
              std::to_string(pad.bottom) + "/" + std::to_string(pad.left) + "/" +
              std::to_string(pad.right) + " px (top/bottom/left/right) for the " + FrameName(slot) +
              " frame";
    return row;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        if (i) line += ',';
        if (f.find_first_of(",\"\n") == std::string::npos) {
            line += f;
            continue;
        }
        line += '"';
        for (const char c : f) line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line;
}

namespace {

// The padded photo as an upright JPEG (the pixels are upright already, and
// OpenCV writes no orientation tag); its name ends in .jpg.
bool WritePadded(const fs::path& from, const Truth& t, const Padding& pad, double blurShare,
                 const fs::path& to) {
    const cv::Mat photo = cv::imread(from.string(), cv::IMREAD_COLOR);  // EXIF orientation applied
    if (photo.empty() || photo.cols != t.width || photo.rows != t.height) return false;
    const cv::Mat padded = PadImage(
        photo, pad,
        blurShare * std::max(photo.cols + pad.left + pad.right, photo.rows + pad.top + pad.bottom));
    return cv::imwrite(to.string(), padded, {cv::IMWRITE_JPEG_QUALITY, 95});
}

}  // namespace

bool PadPortraits(const fs::path& in, const fs::path& out, const TPhotoSlot& slot, double blurShare,
                  std::vector<PaddedPortrait>& done, std::string& error) {
    std::ifstream csv(in / "truth.csv");
    std::string header;
    std::vector<Truth> truths;
    if (!std::getline(csv, header) || !ReadTruth(in / "truth.csv", truths)) {
        error = "cannot read " + (in / "truth.csv").string();
        return false;
    }
    if (!header.empty() && header.back() == '\r') header.pop_back();
    std::error_code ec;
    fs::create_directories(out, ec);
    std::ofstream table(out / "truth.csv", std::ios::binary);
    if (!table) {
        error = "cannot write " + (out / "truth.csv").string();
        return false;
    }
    table << header << '\n';
    for (const Truth& t : truths) {
        PaddedPortrait d{t.file, PaddingFor(t, slot)};
        std::vector<std::string> row = t.fields;
        if (!d.pad.Any()) {
            d.written =
                fs::copy_file(in / t.file, out / t.file, fs::copy_options::overwrite_existing, ec);
        } else {
            row = PaddedRow(t, d.pad, slot);
            row[0] = d.file = fs::path(t.file).replace_extension(".jpg").string();
            d.written = WritePadded(in / t.file, t, d.pad, blurShare, out / d.file);
        }
        if (d.written) table << CsvLine(row) << '\n';
        done.push_back(d);
    }
    table.flush();
    if (!table) error = "cannot write " + (out / "truth.csv").string();
    return static_cast<bool>(table);
}
