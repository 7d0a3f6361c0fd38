// The rules follow what OpenCV's cascade reader and its searches index
// without checking: every such place has its test here.
#include "cascade_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fd_detector.h"

namespace fd {

namespace {

// ---- the text ---------------------------------------------------------------

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kXmlStart = "<?xml";

// Index just past `end` from `from`, or npos.
std::size_t After(std::string_view text, std::size_t from, std::string_view end) {
    const std::size_t at = text.find(end, from);
    return at == std::string_view::npos ? at : at + end.size();
}

// Index just past the '>' closing the tag that starts at `from`, quotes
// respected; npos when it never closes. `selfClosing` tells "<a/>".
std::size_t TagEnd(std::string_view text, std::size_t from, bool& selfClosing) {
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            selfClosing = i > from && text[i - 1] == '/';
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// The deepest nesting of elements; comments and declarations are skipped as
// the XML reader skips them. Over-counting (a broken tag) only refuses sooner.
int NestingDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            i = After(text, i + 4, "-->");
        } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
            i = After(text, i + 2, ">");
        } else if (rest.starts_with("</")) {
            depth = std::max(0, depth - 1);
            i = After(text, i + 2, ">");
        } else {
            bool selfClosing = false;
            i = TagEnd(text, i + 1, selfClosing);
            if (!selfClosing) deepest = std::max(deepest, ++depth);
        }
        if (i == std::string_view::npos) break;
    }
    return deepest;
}

// ---- the cascade ------------------------------------------------------------

constexpr int kMaxWindowSide = 1024;
constexpr int kLbpCategories = 256;  // the values of an 8-neighbour pattern

bool IsNumber(const cv::FileNode& n) {
    return n.isInt() || n.isReal();
}

// The numbers of a sequence of numbers; false for anything else.
bool Numbers(const cv::FileNode& node, std::vector<double>& out) {
    out.clear();
    if (!node.isSeq()) return false;
    out.reserve(node.size());
    for (const cv::FileNode& n : node) {
        if (!IsNumber(n)) return false;
        out.push_back(static_cast<double>(n));
    }
    return true;
}

bool IsWhole(double v, double lowest, double highest) {
    return v >= lowest && v <= highest && v == static_cast<double>(static_cast<long long>(v));
}

struct Shape {
    bool lbp = false;
    int windowW = 0, windowH = 0;
    int nodeStep = 4;  // left, right, feature, threshold (or the LBP subsets)
};

bool ReadHeader(const cv::FileNode& c, Shape& shape) {
    if (!c.isMap() || !c["stageType"].isString() || c["stageType"].string() != "BOOST")
        return false;
    const cv::FileNode type = c["featureType"];
    if (!type.isString() || (type.string() != "HAAR" && type.string() != "LBP")) return false;
    shape.lbp = type.string() == "LBP";
    if (!c["width"].isInt() || !c["height"].isInt()) return false;
    shape.windowW = static_cast<int>(c["width"]);
    shape.windowH = static_cast<int>(c["height"]);
    if (shape.windowW <= 0 || shape.windowH <= 0) return false;
    if (shape.windowW > kMaxWindowSide || shape.windowH > kMaxWindowSide) return false;
    const cv::FileNode params = c["featureParams"];
    if (!params.isMap()) return false;
    const cv::FileNode categories = params["maxCatCount"];
    const int count = categories.isInt() ? static_cast<int>(categories) : 0;
    // An LBP search looks its pattern up in 256 bits of subset per node; an
    // ordered (HAAR) search compares with a threshold and has no subsets.
    if (shape.lbp != (count != 0)) return false;
    if (shape.lbp && count != kLbpCategories) return false;
    shape.nodeStep = shape.lbp ? 3 + (count + 31) / 32 : 4;
    return true;
}

// One tree: whole nodes, children after their parent (the search follows them
// until it reaches a leaf, so a child at or before its parent never ends),
// leaves for every leaf reference, feature indexes in the list.
bool CheckTree(const cv::FileNode& tree, const Shape& shape, int features, int& nodeCount) {
    std::vector<double> nodes, leaves;
    if (!Numbers(tree["internalNodes"], nodes) || !Numbers(tree["leafValues"], leaves))
        return false;
    const std::size_t step = static_cast<std::size_t>(shape.nodeStep);
    if (nodes.empty() || nodes.size() % step != 0) return false;
    nodeCount = static_cast<int>(nodes.size() / step);
    const int leafCount = static_cast<int>(leaves.size());
    if (leafCount != nodeCount + 1) return false;
    for (int n = 0; n < nodeCount; ++n) {
        const double* node = nodes.data() + static_cast<std::size_t>(n) * step;
        for (int child = 0; child < 2; ++child) {
            const double c = node[child];
            const bool inNodes = IsWhole(c, n + 1, nodeCount - 1);
            const bool inLeaves = IsWhole(-c, 0, leafCount - 1);
            if (!inNodes && !inLeaves) return false;
        }
        if (!IsWhole(node[2], 0, features - 1)) return false;
        if (shape.lbp) {
            for (std::size_t s = 3; s < step; ++s)
                if (!IsWhole(node[s], -2147483648.0, 2147483647.0)) return false;
        }
    }
    return true;
}

bool CheckStages(const cv::FileNode& stages, const Shape& shape, int features) {
    if (!stages.isSeq() || stages.size() == 0) return false;
    int largestTree = 0;
    bool allStumps = true;
    for (const cv::FileNode& stage : stages) {
        if (!stage.isMap() || !IsNumber(stage["stageThreshold"])) return false;
        const cv::FileNode trees = stage["weakClassifiers"];
        if (!trees.isSeq() || trees.size() == 0) return false;
        for (const cv::FileNode& tree : trees) {
            int nodes = 0;
            if (!tree.isMap() || !CheckTree(tree, shape, features, nodes)) return false;
            largestTree = std::max(largestTree, nodes);
            allStumps = allStumps && nodes == 1;
        }
    }
    // With a largest tree of one node the search reads every tree as a stump
    // of one node and two leaves.
    return largestTree != 1 || allStumps;
}

// A rectangle x, y, w, h of a feature: a plain one must lie in the window; a
// tilted one (turned 45 degrees about its top corner) reaches from x - h to
// x + w across and from y to y + w + h down.
bool RectInWindow(const std::vector<double>& r, bool tilted, const Shape& shape) {
    for (int i = 0; i < 4; ++i)
        if (!IsWhole(r[i], 0, kMaxWindowSide)) return false;
    const double x = r[0], y = r[1], w = r[2], h = r[3];
    if (tilted) return x - h >= 0 && x + w <= shape.windowW && y + w + h <= shape.windowH;
    return x + w <= shape.windowW && y + h <= shape.windowH;
}

bool CheckHaarFeature(const cv::FileNode& feature, const Shape& shape) {
    const cv::FileNode rects = feature["rects"];
    // The search holds three rectangles per feature.
    if (!rects.isSeq() || rects.size() == 0 || rects.size() > 3) return false;
    const cv::FileNode tiltedNode = feature["tilted"];
    if (!tiltedNode.empty() && !tiltedNode.isInt()) return false;
    const bool tilted = !tiltedNode.empty() && static_cast<int>(tiltedNode) != 0;
    std::vector<double> r;
    for (const cv::FileNode& rect : rects) {
        if (!Numbers(rect, r) || r.size() != 5 || !RectInWindow(r, tilted, shape)) return false;
    }
    return true;
}

// An LBP feature is a 3 x 3 grid of w x h cells from (x, y).
bool CheckLbpFeature(const cv::FileNode& feature, const Shape& shape) {
    std::vector<double> r;
    if (!Numbers(feature["rect"], r) || r.size() != 4) return false;
    std::vector<double> grid = {r[0], r[1], 3 * r[2], 3 * r[3]};
    return RectInWindow(grid, false, shape);
}

// XML text holds no control characters but tabs and line ends; OpenCV's
// reader takes a NUL for the end of its buffer and then reads through a null
// pointer.
bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
    });
}

}  // namespace

int CheckDescriptionText(std::string_view text) {
    if (text.size() > kMaxDescriptionBytes || HasControlCharacters(text)) return kCascadeBroken;
    if (text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    if (!text.starts_with(kXmlStart)) return kCascadeBroken;
    return NestingDepth(text) <= kMaxDescriptionNesting ? kOk : kCascadeBroken;
}

int CheckCascadeShape(const cv::FileNode& cascade) {
    Shape shape;
    if (!ReadHeader(cascade, shape)) return kCascadeBroken;
    const cv::FileNode features = cascade["features"];
    if (!features.isSeq() || features.size() == 0) return kCascadeBroken;
    for (const cv::FileNode& feature : features) {
        if (!feature.isMap()) return kCascadeBroken;
        const bool ok =
            shape.lbp ? CheckLbpFeature(feature, shape) : CheckHaarFeature(feature, shape);
        if (!ok) return kCascadeBroken;
    }
    const int count = static_cast<int>(features.size());
    return CheckStages(cascade["stages"], shape, count) ? kOk : kCascadeBroken;
}

}  // namespace fd
