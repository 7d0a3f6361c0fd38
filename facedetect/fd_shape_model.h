#pragma once
// dlib's 68-point landmark model (a cascade of regression forests), read from
// dlib's own file format and fitted exactly as dlib::shape_predictor fits it,
// but stored flat and able to fit several start boxes at once.
//
// dlib keeps each of the model's 120 000 leaves (136 floats each) in its own
// allocation; a fit walks 7 500 trees and adds one leaf of each, so it spends
// most of its time waiting for leaves and split nodes to come from memory,
// and freeing the model takes as long as a fit. Here the leaves and splits
// lie in two arrays, and a batch of fits walks each tree for all of its
// shapes while that tree is in the cache. Every shape goes through the same
// floating-point operations in the same order as with dlib, so the points
// are the same to the bit.
//
// Reading dlib's file means decoding 5 million numbers one by one. The model
// is therefore also kept in a flat file of its own (written by
// facedetect_pack when the library is built), whose leaves are used where
// they lie in the mapped file: loading it costs a few milliseconds.
#include <dlib/array2d.h>
#include <dlib/image_processing/full_object_detection.h>
#include <dlib/image_processing/shape_predictor.h>

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

namespace fd {

class ShapeModel {
  public:
    using Image = dlib::array2d<unsigned char>;

    // One fit to be made: the picture and the face box to start from.
    struct Start {
        const Image* image;
        dlib::rectangle box;
    };

    // The number of points of the model (0 before it is read).
    unsigned long num_parts() const { return static_cast<unsigned long>(initial_.size() / 2); }

    // One fit, as dlib::shape_predictor gives it.
    dlib::full_object_detection operator()(const Image& image, const dlib::rectangle& box) const;

    // All fits of `starts`, in their order.
    std::vector<dlib::full_object_detection> Fit(const std::vector<Start>& starts) const;

    // Reads a model in dlib's shape_predictor format. Throws
    // dlib::serialization_error on a broken or inconsistent file (a split or
    // anchor outside its lists, a leaf of the wrong size), which dlib would
    // read and then index out of bounds with.
    friend void deserialize(ShapeModel& model, std::istream& in);

    // Writes the model in the flat format; throws std::ios_base::failure
    // when the stream fails.
    void WriteFlat(std::ostream& out) const;

    // True when the file at `path` starts as a flat model does.
    static bool IsFlatFile(const std::filesystem::path& path);

    // Reads a flat model, mapping its leaves. Throws
    // dlib::serialization_error on a missing, truncated or inconsistent file
    // or one written by a different build layout.
    void ReadFlat(const std::filesystem::path& path);

  private:
    struct Split {
        std::uint32_t a, b;  // the two feature pixels compared
        float threshold;
    };
    struct Tree {
        std::uint32_t firstSplit, splits;  // splits: a full tree of 2^depth - 1
        std::size_t firstLeaf;             // index into leaves_ of its first leaf's first value
    };
    struct Level {
        std::vector<unsigned long> anchors;          // the shape point each pixel follows
        std::vector<dlib::vector<float, 2>> deltas;  // its offset from that point
        std::size_t firstTree = 0, trees = 0;
    };

    // Adds the leaf of `tree` that `features` lead to onto `shape`.
    void AddTree(const Tree& tree, const std::vector<float>& features, float* shape) const;

    // Throws dlib::serialization_error unless every index of the model
    // (levels to trees, trees to splits and leaves, splits to pixels, pixels
    // to points) lies inside its list.
    void Check() const;

    // Tells the flat files of builds with another byte order or record layout.
    static std::uint32_t FlatLayout();

    dlib::matrix<float, 0, 1> initial_;
    std::vector<Level> levels_;
    std::vector<Tree> trees_;
    std::vector<Split> splits_;
    // The leaves of all trees, one after another: in memory of their own
    // when read from dlib's file, in the mapped file when read flat.
    std::shared_ptr<const float> leaves_;
    std::size_t leafValues_ = 0;
};

}  // namespace fd
