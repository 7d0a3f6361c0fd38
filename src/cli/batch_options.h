#pragma once
// The command line of kambrix-batch: photos and folders, where the outputs
// go, how many workers, the report, and the framing and sheet settings of the
// settings dialog that matter without a window. Every setting starts at the
// window's default.
#include <string>
#include <vector>

#include "detect/head_top_contour.h"

// One shard of the sorted photo list: every `count`-th photo from `index`.
struct ShardSpec {
    int index = 0;  // K, 0-based
    int count = 1;  // N
    bool Active() const { return count > 1; }
};

// The settings dialog's options a batch run reads (defaults as in the dialog).
struct BatchSettings {
    bool reduceLarge = true;  // photos of 3000 px or more reduced before framing
    bool exif = true;         // photos turned upright by their EXIF orientation
    int accuracy = 3;         // 1..10
    int minFace = 200;        // 100..1000 pixels
    int quality = 90;         // JPEG quality 0..100
    bool chin = true;         // also find the chin
    // Where the head top comes from. The window keeps the background scan
    // unless its settings ask for the outline; the batch takes the outline.
    HeadTopMethod headTopMethod = HeadTopMethod::kContour;
    bool headTopCorrection = true;  // the background scan corrects the estimate (and checks fits)
    int headTopRange = 50;          // colour range counted as background, 0..100
    int headTopThreshold = 80;      // share of background along a row, 50..100 %
    bool upperHalf = true;          // a face must lie in the upper half
    bool sizeCheck = true;          // a frame of 90 % of the picture or more is an error
    bool rotateRetry = false;       // turn by 90 degrees and try again
    bool recognitionImages = true;  // keep the recognised face and its training line
    bool sharpen = true;            // sharpen each photo on the sheet
    bool trimmed = true;            // also save the trimmed photo
    bool centreMarks = true;
    bool cornerMarks = true;
    bool scale = true;
    bool enlargeSmall = false;  // enlarge a frame smaller than the place instead of failing
};

enum class ReportFormat { None, Json, Csv };

struct BatchOptions {
    std::vector<std::string> inputs;  // photos and folders, as given
    std::string layoutPath;           // "" = the built-in layout
    std::string outDir;               // "" = beside each photo, as the window does
    int jobs = 0;                     // 0 = one per core
    std::string reportPath;
    ReportFormat reportFormat = ReportFormat::None;
    bool frameOnly = false;
    bool skipExisting = false;
    ShardSpec shard;
    BatchSettings settings;
};

enum class ParseStatus { Run, Help, Error };

struct ParseResult {
    ParseStatus status = ParseStatus::Run;
    std::string error;  // one line, for Error
    BatchOptions options;
};

// Exit statuses of the program.
constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Reads the arguments (without the program name). Checks the form of every
// value; whether files exist is checked by the caller before any work.
ParseResult ParseBatchOptions(const std::vector<std::string>& args);

// "contour", "background" or "estimate"; false for anything else.
bool ParseHeadTopMethod(const std::string& text, HeadTopMethod& method);

// "K/N" with 0 <= K < N; false when malformed.
bool ParseShard(const std::string& text, ShardSpec& shard);

// The --help text.
std::string BatchHelpText();
