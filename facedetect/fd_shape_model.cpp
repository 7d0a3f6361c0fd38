#include "fd_shape_model.h"

#include <dlib/serialize.h>

#include <limits>

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
    const float* leaf = &leaves_[tree.firstLeaf + (i - tree.splits) * n];
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
            const std::size_t leaves = forest.front().leaf_values.size();
            model.trees_.reserve(levels * forest.size());
            model.splits_.reserve(levels * forest.size() * (leaves - 1));
            model.leaves_.reserve(levels * forest.size() * leaves * n);
        }
        for (const dlib::impl::regression_tree& tree : forest) {
            Require(tree.leaf_values.size() == tree.splits.size() + 1 &&
                    tree.splits.size() < std::numeric_limits<std::uint32_t>::max() / 2);
            model.trees_.push_back({static_cast<std::uint32_t>(model.splits_.size()),
                                    static_cast<std::uint32_t>(tree.splits.size()),
                                    model.leaves_.size()});
            for (const dlib::impl::split_feature& s : tree.splits)
                model.splits_.push_back({static_cast<std::uint32_t>(s.idx1),
                                         static_cast<std::uint32_t>(s.idx2), s.thresh});
            Require(model.splits_.size() < std::numeric_limits<std::uint32_t>::max());
            for (const dlib::matrix<float, 0, 1>& leaf : tree.leaf_values) {
                Require(static_cast<std::size_t>(leaf.size()) == n);
                model.leaves_.insert(model.leaves_.end(), &leaf(0), &leaf(0) + n);
            }
        }
    }
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    dlib::deserialize(anchors, in);
    dlib::deserialize(deltas, in);
    Require(anchors.size() == levels && deltas.size() == levels);
    for (std::size_t i = 0; i < levels; ++i) {
        ShapeModel::Level& level = model.levels_[i];
        Require(anchors[i].size() == deltas[i].size());
        for (unsigned long a : anchors[i]) Require(a < n / 2);
        for (std::size_t t = level.firstTree; t < level.firstTree + level.trees; ++t) {
            const ShapeModel::Tree& tree = model.trees_[t];
            for (std::uint32_t s = tree.firstSplit; s < tree.firstSplit + tree.splits; ++s)
                Require(model.splits_[s].a < anchors[i].size() &&
                        model.splits_[s].b < anchors[i].size());
        }
        level.anchors = std::move(anchors[i]);
        level.deltas = std::move(deltas[i]);
    }
    model.leaves_.shrink_to_fit();
}

}  // namespace fd
