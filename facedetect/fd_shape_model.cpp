#include "fd_shape_model.h"

#include <dlib/serialize.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <type_traits>

#include "fd_files.h"

namespace fd {

namespace {

// The fitted points in picture pixels, as dlib's shape predictor turns its
// normalised shape into a detection.
dlib::full_object_detection ToDetection(const dlib::matrix<float, 0, 1>& shape,
                                        const dlib::rectangle& box) {
    const dlib::point_transform_affine toImage = dlib::impl::unnormalizing_tform(box);
    std::vector<dlib::point> parts(static_cast<std::size_t>(shape.size() / 2));
    for (unsigned long i = 0; i < parts.size(); ++i)
        parts[i] = toImage(dlib::impl::location(shape, i));
    return dlib::full_object_detection(box, parts);
}

void Require(bool condition) {
    if (!condition) throw dlib::serialization_error("inconsistent shape model");
}

}  // namespace

void ShapeModel::AddTree(const Tree& tree, const std::vector<float>& features, float* shape) const {
    const Split* split = &splits_[tree.firstSplit];
    std::uint32_t i = 0;
    while (i < tree.splits) {
        const Split& s = split[i];
        i = features[s.a] - features[s.b] > s.threshold ? 2 * i + 1 : 2 * i + 2;
    }
    const std::size_t n = static_cast<std::size_t>(initial_.size());
    const float* leaf = leaves_.get() + tree.firstLeaf + (i - tree.splits) * n;
    for (std::size_t k = 0; k < n; ++k) shape[k] += leaf[k];
}

dlib::full_object_detection ShapeModel::operator()(const Image& image,
                                                   const dlib::rectangle& box) const {
    return Fit({Start{&image, box}}).front();
}

std::vector<dlib::full_object_detection> ShapeModel::Fit(const std::vector<Start>& starts) const {
    std::vector<dlib::matrix<float, 0, 1>> shapes(starts.size(), initial_);
    std::vector<std::vector<float>> features(starts.size());
    for (const Level& level : levels_) {
        // The pixels each shape samples are taken before any tree of the
        // level moves it, as dlib does.
        for (std::size_t k = 0; k < starts.size(); ++k)
            dlib::impl::extract_feature_pixel_values(*starts[k].image, starts[k].box, shapes[k],
                                                     initial_, level.anchors, level.deltas,
                                                     features[k]);
        for (std::size_t t = level.firstTree; t < level.firstTree + level.trees; ++t)
            for (std::size_t k = 0; k < starts.size(); ++k)
                AddTree(trees_[t], features[k], &shapes[k](0));
    }
    std::vector<dlib::full_object_detection> out;
    out.reserve(starts.size());
    for (std::size_t k = 0; k < starts.size(); ++k)
        out.push_back(ToDetection(shapes[k], starts[k].box));
    return out;
}

void ShapeModel::Check() const {
    const std::size_t n = static_cast<std::size_t>(initial_.size());
    Require(n > 0 && n % 2 == 0);
    std::size_t nextTree = 0;
    for (const Level& level : levels_) {
        Require(level.firstTree == nextTree && level.trees <= trees_.size() - nextTree);
        nextTree += level.trees;
        Require(level.anchors.size() == level.deltas.size());
        for (unsigned long a : level.anchors) Require(a < n / 2);
        for (std::size_t t = level.firstTree; t < nextTree; ++t) {
            const Tree& tree = trees_[t];
            Require(tree.firstSplit <= splits_.size() &&
                    tree.splits <= splits_.size() - tree.firstSplit);
            // A walk ends on one of splits + 1 leaves of n values.
            Require(tree.firstLeaf <= leafValues_ &&
                    (std::size_t(tree.splits) + 1) <= (leafValues_ - tree.firstLeaf) / n);
            for (std::uint32_t s = tree.firstSplit; s < tree.firstSplit + tree.splits; ++s)
                Require(splits_[s].a < level.anchors.size() && splits_[s].b < level.anchors.size());
        }
    }
    Require(nextTree == trees_.size());
}

void deserialize(ShapeModel& model, std::istream& in) {
    model = ShapeModel();
    int version = 0;
    dlib::deserialize(version, in);
    if (version != 1) throw dlib::serialization_error("unexpected shape model version");
    dlib::deserialize(model.initial_, in);
    const std::size_t n = static_cast<std::size_t>(model.initial_.size());
    Require(n > 0 && n % 2 == 0);
    // The forests are read one level at a time in dlib's own types, then
    // laid out flat, so that only one level is held twice.
    auto leaves = std::make_shared<std::vector<float>>();
    unsigned long levels = 0;
    dlib::deserialize(levels, in);
    model.levels_.resize(levels);
    for (ShapeModel::Level& level : model.levels_) {
        std::vector<dlib::impl::regression_tree> forest;
        dlib::deserialize(forest, in);
        level.firstTree = model.trees_.size();
        level.trees = forest.size();
        if (level.firstTree == 0 && !forest.empty() && !forest.front().leaf_values.empty()) {
            // The levels are alike: room for all of them, taken once.
            const std::size_t perTree = forest.front().leaf_values.size();
            model.trees_.reserve(levels * forest.size());
            model.splits_.reserve(levels * forest.size() * (perTree - 1));
            leaves->reserve(levels * forest.size() * perTree * n);
        }
        for (const dlib::impl::regression_tree& tree : forest) {
            Require(tree.leaf_values.size() == tree.splits.size() + 1 &&
                    tree.splits.size() < std::numeric_limits<std::uint32_t>::max() / 2);
            model.trees_.push_back({static_cast<std::uint32_t>(model.splits_.size()),
                                    static_cast<std::uint32_t>(tree.splits.size()),
                                    leaves->size()});
            for (const dlib::impl::split_feature& s : tree.splits)
                model.splits_.push_back({static_cast<std::uint32_t>(s.idx1),
                                         static_cast<std::uint32_t>(s.idx2), s.thresh});
            Require(model.splits_.size() < std::numeric_limits<std::uint32_t>::max());
            for (const dlib::matrix<float, 0, 1>& leaf : tree.leaf_values) {
                Require(static_cast<std::size_t>(leaf.size()) == n);
                leaves->insert(leaves->end(), &leaf(0), &leaf(0) + n);
            }
        }
    }
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    dlib::deserialize(anchors, in);
    dlib::deserialize(deltas, in);
    Require(anchors.size() == levels && deltas.size() == levels);
    for (std::size_t i = 0; i < levels; ++i) {
        model.levels_[i].anchors = std::move(anchors[i]);
        model.levels_[i].deltas = std::move(deltas[i]);
    }
    leaves->shrink_to_fit();
    model.leafValues_ = leaves->size();
    model.leaves_ = std::shared_ptr<const float>(leaves, leaves->data());
    model.Check();
}

// The flat file: a header, then the model's lists one after another, each
// starting on a multiple of 64 bytes. Every list but the leaves is small and
// copied out; the leaves (nearly all of the file) stay where they are.
namespace {

constexpr char kFlatMagic[8] = {'K', 'B', 'X', 'S', 'H', 'A', 'P', 'E'};
constexpr std::uint32_t kFlatVersion = 1;
constexpr std::size_t kFlatAlign = 64;

struct FlatHeader {
    char magic[8];
    std::uint32_t version;
    std::uint32_t layout;  // byte order and record sizes of the build that wrote it
    std::uint64_t values;  // numbers of the initial shape (2 per point)
    std::uint64_t levels, anchors, trees, splits, leafValues;
};

struct FlatLevel {
    std::uint64_t firstTree, trees, anchors;
};

std::size_t Aligned(std::size_t n) {
    return (n + kFlatAlign - 1) / kFlatAlign * kFlatAlign;
}

void WriteAligned(std::ostream& out, const void* data, std::size_t bytes) {
    static const char zeros[kFlatAlign] = {};
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
    out.write(zeros, static_cast<std::streamsize>(Aligned(bytes) - bytes));
}

// Reads the next list of `count` records from a flat file, or throws when it
// runs past the file's end.
class FlatReader {
  public:
    FlatReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    template <class T>
    void Next(std::uint64_t count, std::vector<T>& out) {
        static_assert(std::is_trivially_copyable_v<T>);
        const std::size_t bytes = Span(count, sizeof(T));
        out.resize(static_cast<std::size_t>(count));
        if (bytes != 0) std::memcpy(out.data(), data_ + at_, bytes);
        at_ += Aligned(bytes);
    }
    // Where the next list of `count` values starts, skipping over it.
    const float* Skip(std::uint64_t count) {
        const std::size_t bytes = Span(count, sizeof(float));
        const float* where = reinterpret_cast<const float*>(data_ + at_);
        at_ += Aligned(bytes);
        return where;
    }
    bool AtEnd() const { return at_ == size_; }

  private:
    std::size_t Span(std::uint64_t count, std::size_t record) const {
        Require(count <= (size_ - at_) / record);
        const std::size_t bytes = static_cast<std::size_t>(count) * record;
        Require(Aligned(bytes) <= size_ - at_);
        return bytes;
    }
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = Aligned(sizeof(FlatHeader));
};

}  // namespace

std::uint32_t ShapeModel::FlatLayout() {
    return 0x01020304u ^ static_cast<std::uint32_t>(sizeof(std::size_t) << 24) ^
           static_cast<std::uint32_t>(sizeof(Tree) << 16) ^
           static_cast<std::uint32_t>(sizeof(Split) << 8);
}

void ShapeModel::WriteFlat(std::ostream& out) const {
    out.exceptions(std::ios::badbit | std::ios::failbit);
    std::vector<FlatLevel> levels;
    std::vector<std::uint32_t> anchors;
    std::vector<float> deltas;  // x and y of each
    for (const Level& level : levels_) {
        levels.push_back({level.firstTree, level.trees, level.anchors.size()});
        for (unsigned long a : level.anchors) anchors.push_back(static_cast<std::uint32_t>(a));
        for (const dlib::vector<float, 2>& d : level.deltas)
            deltas.insert(deltas.end(), {d.x(), d.y()});
    }
    FlatHeader header{};
    std::memcpy(header.magic, kFlatMagic, sizeof kFlatMagic);
    header.version = kFlatVersion;
    header.layout = FlatLayout();
    header.values = static_cast<std::uint64_t>(initial_.size());
    header.levels = levels.size();
    header.anchors = anchors.size();
    header.trees = trees_.size();
    header.splits = splits_.size();
    header.leafValues = leafValues_;
    WriteAligned(out, &header, sizeof header);
    WriteAligned(out, &initial_(0), sizeof(float) * header.values);
    WriteAligned(out, levels.data(), sizeof(FlatLevel) * levels.size());
    WriteAligned(out, anchors.data(), sizeof(std::uint32_t) * anchors.size());
    WriteAligned(out, deltas.data(), sizeof(float) * deltas.size());
    WriteAligned(out, trees_.data(), sizeof(Tree) * trees_.size());
    WriteAligned(out, splits_.data(), sizeof(Split) * splits_.size());
    WriteAligned(out, leaves_.get(), sizeof(float) * leafValues_);
}

bool ShapeModel::IsFlatFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[sizeof kFlatMagic] = {};
    in.read(magic, sizeof magic);
    return in && std::memcmp(magic, kFlatMagic, sizeof magic) == 0;
}

void ShapeModel::ReadFlat(const std::filesystem::path& path) {
    *this = ShapeModel();
    std::size_t size = 0;
    const std::shared_ptr<const unsigned char> file = MapWholeFile(path, size);
    FlatHeader header{};
    Require(file != nullptr && size >= Aligned(sizeof header));
    std::memcpy(&header, file.get(), sizeof header);
    Require(std::memcmp(header.magic, kFlatMagic, sizeof kFlatMagic) == 0 &&
            header.version == kFlatVersion && header.layout == FlatLayout());
    FlatReader in(file.get(), size);
    std::vector<float> initial;
    std::vector<FlatLevel> levels;
    std::vector<std::uint32_t> anchors;
    std::vector<float> deltas;
    Require(header.anchors < size);
    in.Next(header.values, initial);
    in.Next(header.levels, levels);
    in.Next(header.anchors, anchors);
    in.Next(2 * header.anchors, deltas);
    in.Next(header.trees, trees_);
    in.Next(header.splits, splits_);
    const float* leaves = in.Skip(header.leafValues);
    Require(in.AtEnd());
    initial_.set_size(static_cast<long>(initial.size()));
    for (std::size_t i = 0; i < initial.size(); ++i) initial_(static_cast<long>(i)) = initial[i];
    std::size_t nextAnchor = 0;
    for (const FlatLevel& flat : levels) {
        Require(flat.anchors <= anchors.size() - nextAnchor);
        Level& level = levels_.emplace_back();
        level.firstTree = static_cast<std::size_t>(flat.firstTree);
        level.trees = static_cast<std::size_t>(flat.trees);
        level.anchors.assign(anchors.begin() + nextAnchor,
                             anchors.begin() + nextAnchor + flat.anchors);
        for (std::size_t i = nextAnchor; i < nextAnchor + flat.anchors; ++i)
            level.deltas.emplace_back(deltas[2 * i], deltas[2 * i + 1]);
        nextAnchor += flat.anchors;
    }
    Require(nextAnchor == anchors.size());
    leafValues_ = static_cast<std::size_t>(header.leafValues);
    leaves_ = std::shared_ptr<const float>(file, leaves);
    Check();
}

}  // namespace fd
