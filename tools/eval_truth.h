#pragma once
// Ground truth of the shared portraits and the judging of one framing pass
// against it, for facedetect_eval.
#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

struct Box {
    int l = 0, t = 0, r = 0, b = 0;
    int Cx() const { return l + (r - l) / 2; }
    int Cy() const { return t + (b - t) / 2; }
    bool Contains(int x, int y) const { return x >= l && x < r && y >= t && y < b; }
};

// One row of truth.csv: every value for the upright picture.
struct Truth {
    std::string file, notes;
    std::vector<std::string> fields;  // every column as read
    int width = 0, height = 0;
    std::optional<Box> face;      // landmark box, brow to chin
    std::optional<int> chinY;     // chin tip row
    std::optional<int> headTopY;  // top of the head
    std::vector<Box> otherFaces;  // further valid faces named in the notes
    std::vector<int> otherChinY;  // their chin rows (same order)
};

bool ReadTruth(const std::filesystem::path& csv, std::vector<Truth>& out);

// Where the upright photo lies in the square working image.
struct Placement {
    double scale = 1;
    int offsetX = 0, offsetY = 0;
    int X(int x) const { return static_cast<int>(x * scale) + offsetX; }
    int Y(int y) const { return static_cast<int>(y * scale) + offsetY; }
    Box Map(const Box& b) const { return {X(b.l), Y(b.t), X(b.r), Y(b.b)}; }
};

struct Outcome {
    bool inScope = false, expectFace = false, faceFound = false, faceOk = false;
    bool chinExpected = false, chinFound = false, aboveMouth = false, secondSearch = false;
    double centreErr = 0, sizeRatio = 0, chinErr = 0;  // % of the face height; width ratio
    // Where the true chin and head top lie against the detected box, in box
    // heights: (chin - top) / height and (top - head top) / height.
    std::optional<double> chinInBox, headAboveBox;
    double faceMs = 0, face2Ms = 0, chinMs = 0, passMs = 0;
    int side = 0;
    std::string note;
};

// The face is right when its centre lies inside a true face box; the chin
// error is signed (positive: below the true chin). A chin more than 20 % of
// the face height above the true chin counts as above the mouth.
Outcome Judge(const Truth& truth, const Placement& place, bool loaded, bool faceFound,
              const Box& face, bool chinFound, int chinRow);

void PrintHeader();
void PrintOutcome(const Truth& truth, const Outcome& o);

class Summary {
  public:
    void Add(const Outcome& o);
    void Print() const;

  private:
    std::vector<Outcome> all_;
    std::vector<std::string> names_;
};

// The square working image: the upright photo (EXIF orientation applied),
// reduced to 3000 pixels on the long side when that side is 3000 or more,
// centred on black.
struct PreparedPhoto {
    cv::Mat square;
    Placement place;
    Box photo;  // where the (reduced) photo lies in the square
    bool sizeMatchesTruth = true;
};
std::optional<PreparedPhoto> PreparePhoto(const std::filesystem::path& file, const Truth& truth);

// Every portrait named in `dir`/truth.csv whose name holds `only` (any when
// empty) and that `wanted` accepts, handed to `visit` prepared as above
// (photos that cannot be read are passed over). False, with a message, when
// truth.csv cannot be read.
bool ForEachPortrait(const std::filesystem::path& dir, const std::string& only,
                     const std::function<bool(const Truth&)>& wanted,
                     const std::function<void(const Truth&, const PreparedPhoto&)>& visit);

// The value below which a share `p` (0..1) of `v` lies (nearest rank); 0 for none.
double Percentile(std::vector<double> v, double p);
