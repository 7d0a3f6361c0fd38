#pragma once
// What a batch run says about each photo, the machine-readable report (JSON
// or CSV) and the record form in which a worker process hands a result back.
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/bitmap.h"

enum class PhotoStatus { Ok, Failed, Skipped };

struct PhotoResult {
    std::string file;  // the path as given
    PhotoStatus status = PhotoStatus::Failed;
    int code = 0;         // the framing or composition result code
    std::string message;  // the window's text for the code; empty when ok
    // In pixels of the photo as stored and shown upright; unknown = nullopt.
    std::optional<PixelRect> face, frame;
    std::optional<int> chinY, headTopY;
    int rotation = 0;  // tenths of a degree the photo was turned for framing
    std::optional<std::string> sheet, trimmed;
    std::vector<std::pair<std::string, int>> ms;  // milliseconds per stage, in order

    friend bool operator==(const PhotoResult&, const PhotoResult&) = default;
};

const char* StatusName(PhotoStatus status);

// A JSON array with one object per photo, keys in the report's fixed order.
void WriteJsonReport(std::ostream& out, const std::vector<PhotoResult>& results);
// A header line and one row per photo; rectangles as four columns each, the
// stages as "ms_<stage>" columns (every stage of any result), unknown = empty.
void WriteCsvReport(std::ostream& out, const std::vector<PhotoResult>& results);

// Writes the report to `path` through a temporary file renamed into place, so
// an interrupted run never leaves half a report. False with `error` set on failure.
bool SaveReport(const std::string& path, bool csv, const std::vector<PhotoResult>& results,
                std::string& error);

// A JSON string literal (quotes included) of UTF-8 text.
std::string JsonQuote(const std::string& text);
// A CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& text);

// The record a worker writes to its parent, and its reading: every field
// length-prefixed, so any bytes in paths and messages survive.
std::string EncodeResult(const PhotoResult& result);
std::optional<PhotoResult> DecodeResult(const std::string& record);
