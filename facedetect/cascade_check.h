#pragma once
// Shape checks of a description file, made before OpenCV reads it. OpenCV's
// XML reader recurses once per nesting level, so a deeply nested file
// overflows the stack of whichever thread reads it; and its cascade reader
// takes feature indexes and rectangles as they come, so an index past the
// feature list or a rectangle outside the search window reads memory that is
// not there at the first search. Both end the program, not the search. A file
// that passes these checks reads and searches safely.
#include <cstddef>
#include <opencv2/core.hpp>
#include <string_view>

namespace fd {

// Descriptions are XML text of a few megabytes at most.
constexpr std::size_t kMaxDescriptionBytes = std::size_t(16) << 20;
// A cascade nests seven levels deep, the chin description three.
constexpr int kMaxDescriptionNesting = 32;

// kOk when `text` is XML (after an optional UTF-8 byte-order mark it starts
// with "<?xml"; OpenCV would read YAML or JSON with their own recursive
// readers) without control characters other than tab, CR and LF, whose
// elements nest at most kMaxDescriptionNesting deep and that is at most
// kMaxDescriptionBytes long; kCascadeBroken otherwise.
int CheckDescriptionText(std::string_view text);

// kOk when `cascade` (the top node of a cascade file) is a boosted HAAR or LBP
// cascade that OpenCV can search with safely: a search window of sane size,
// trees of whole nodes whose children lie after them and whose leaves exist,
// stumps where every tree is a stump, feature indexes inside the feature
// list, and every feature's rectangles inside the window. kCascadeBroken
// otherwise.
int CheckCascadeShape(const cv::FileNode& cascade);

}  // namespace fd
