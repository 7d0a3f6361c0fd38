// The command line, table-driven: each option is one row with its help line,
// so the parser and --help cannot drift apart.
#include "cli/batch_options.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string_view>

namespace {

// A switch: --name turns it on, --no-name off.
struct SwitchOption {
    const char* name;
    bool BatchSettings::*field;
    const char* help;
};

struct NumberOption {
    const char* name;
    int BatchSettings::*field;
    int min, max;
    const char* help;
};

const SwitchOption kSwitches[] = {
    {"reduce", &BatchSettings::reduceLarge, "reduce photos of 3000 pixels or more on a side first"},
    {"exif", &BatchSettings::exif, "turn photos upright as their EXIF orientation says"},
    {"chin", &BatchSettings::chin, "find the chin as well as the face"},
    {"head-top-correction", &BatchSettings::headTopCorrection,
     "with --head-top background, correct the head top by the background colour"},
    {"upper-half", &BatchSettings::upperHalf, "accept only a face in the upper half of the photo"},
    {"size-check", &BatchSettings::sizeCheck, "a frame of 90% of the photo or more is a failure"},
    {"rotate-retry", &BatchSettings::rotateRetry,
     "turn by 90 degrees and try again when framing fails"},
    {"recognition-images", &BatchSettings::recognitionImages,
     "keep each recognised face and its training line"},
    {"sharpen", &BatchSettings::sharpen, "sharpen each photo on the sheet"},
    {"trimmed", &BatchSettings::trimmed, "also save the trimmed photo"},
    {"centre-marks", &BatchSettings::centreMarks, "print centre crop marks"},
    {"corner-marks", &BatchSettings::cornerMarks, "print corner crop marks"},
    {"scale", &BatchSettings::scale, "print the millimetre scale"},
    {"enlarge-small", &BatchSettings::enlargeSmall,
     "enlarge a frame smaller than its place, not fail"},
};

const NumberOption kNumbers[] = {
    {"accuracy", &BatchSettings::accuracy, 1, 10, "face detection strictness"},
    {"min-face", &BatchSettings::minFace, 100, 1000, "smallest face searched for (pixels)"},
    {"quality", &BatchSettings::quality, 0, 100, "JPEG quality of every file written"},
    {"head-top-range", &BatchSettings::headTopRange, 0, 100,
     "background colour range, plus or minus"},
    {"head-top-threshold", &BatchSettings::headTopThreshold, 50, 100,
     "% of background that ends the head"},
};

struct MethodName {
    const char* name;
    HeadTopMethod method;
};

const MethodName kHeadTopMethods[] = {
    {"contour", HeadTopMethod::kContour},
    {"background", HeadTopMethod::kBackground},
    {"estimate", HeadTopMethod::kEstimate},
};

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '\'');
    quoted += text;
    quoted += '\'';
    return quoted;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = text[text.size() - tail.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != tail[i]) return false;
    }
    return true;
}

class Parser {
  public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParseResult Run() {
        bool optionsEnded = false;
        for (i_ = 0; i_ < args_.size() && result_.status == ParseStatus::Run; ++i_) {
            const std::string& arg = args_[i_];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                result_.options.inputs.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "-h" || arg == "--help") {
                result_.status = ParseStatus::Help;
            } else {
                Option(arg);
            }
        }
        if (result_.status == ParseStatus::Run) Finish();
        return result_;
    }

  private:
    void Fail(const std::string& message) {
        if (result_.status == ParseStatus::Error) return;
        result_.status = ParseStatus::Error;
        result_.error = message;
    }

    // The value of an option: after '=' or the next argument.
    std::optional<std::string> Value(const std::string& name,
                                     const std::optional<std::string>& inline_) {
        if (inline_) return inline_;
        if (i_ + 1 >= args_.size()) {
            Fail("option --" + name + " needs a value");
            return std::nullopt;
        }
        return args_[++i_];
    }

    void Option(const std::string& arg) {
        if (arg.rfind("--", 0) != 0) return Fail("unknown option " + Quoted(arg) + " (see --help)");
        std::string name = arg.substr(2);
        std::optional<std::string> inline_;
        if (const std::size_t eq = name.find('='); eq != std::string::npos) {
            inline_ = name.substr(eq + 1);
            name.resize(eq);
        }
        BatchOptions& o = result_.options;
        if (Switch(name, inline_)) return;
        if (Number(name, inline_)) return;
        if (name == "frame-only" || name == "skip-existing") {
            if (inline_) return Fail("option --" + name + " takes no value");
            (name == "frame-only" ? o.frameOnly : o.skipExisting) = true;
            return;
        }
        if (name == "layout" || name == "out" || name == "report" || name == "jobs" ||
            name == "shard" || name == "head-top") {
            const auto value = Value(name, inline_);
            if (!value) return;
            if (value->empty()) return Fail("option --" + name + " needs a value");
            if (name == "layout") o.layoutPath = *value;
            if (name == "out") o.outDir = *value;
            if (name == "report") Report(*value);
            if (name == "jobs") Jobs(*value);
            if (name == "shard" && !ParseShard(*value, o.shard))
                Fail("--shard wants K/N with 0 <= K < N, not " + Quoted(*value));
            if (name == "head-top" && !ParseHeadTopMethod(*value, o.settings.headTopMethod))
                Fail("--head-top wants contour, background or estimate, not " + Quoted(*value));
            return;
        }
        Fail("unknown option " + Quoted(arg) + " (see --help)");
    }

    bool Switch(const std::string& name, const std::optional<std::string>& inline_) {
        const bool negated = name.rfind("no-", 0) == 0;
        const std::string base = negated ? name.substr(3) : name;
        for (const SwitchOption& s : kSwitches) {
            if (base != s.name) continue;
            if (inline_) Fail("option --" + name + " takes no value");
            result_.options.settings.*s.field = !negated;
            return true;
        }
        return false;
    }

    bool Number(const std::string& name, const std::optional<std::string>& inline_) {
        for (const NumberOption& n : kNumbers) {
            if (name != n.name) continue;
            const auto value = Value(name, inline_);
            if (!value) return true;
            const auto number = ParseInt(*value);
            if (!number || *number < n.min || *number > n.max)
                Fail("--" + name + " wants a whole number from " + std::to_string(n.min) + " to " +
                     std::to_string(n.max) + ", not " + Quoted(*value));
            else
                result_.options.settings.*n.field = *number;
            return true;
        }
        return false;
    }

    void Report(const std::string& path) {
        BatchOptions& o = result_.options;
        o.reportPath = path;
        if (EndsWithNoCase(path, ".json"))
            o.reportFormat = ReportFormat::Json;
        else if (EndsWithNoCase(path, ".csv"))
            o.reportFormat = ReportFormat::Csv;
        else
            Fail("--report wants a file ending in .json or .csv, not " + Quoted(path));
    }

    void Jobs(const std::string& text) {
        const auto jobs = ParseInt(text);
        if (!jobs || *jobs < 1 || *jobs > 256)
            return Fail("--jobs wants a whole number from 1 to 256, not " + Quoted(text));
        result_.options.jobs = *jobs;
    }

    void Finish() {
        if (result_.options.inputs.empty()) Fail("no photo or folder given (see --help)");
    }

    const std::vector<std::string>& args_;
    std::size_t i_ = 0;
    ParseResult result_;
};

}  // namespace

bool ParseHeadTopMethod(const std::string& text, HeadTopMethod& method) {
    for (const MethodName& m : kHeadTopMethods) {
        if (text != m.name) continue;
        method = m.method;
        return true;
    }
    return false;
}

bool ParseShard(const std::string& text, ShardSpec& shard) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const auto k = ParseInt(std::string_view(text).substr(0, slash));
    const auto n = ParseInt(std::string_view(text).substr(slash + 1));
    if (!k || !n || *n < 1 || *k < 0 || *k >= *n) return false;
    shard = {*k, *n};
    return true;
}

ParseResult ParseBatchOptions(const std::vector<std::string>& args) {
    return Parser(args).Run();
}

namespace {

// A help line: the option in a column of its own, then its explanation.
std::string HelpLine(std::string left, const std::string& help) {
    constexpr std::size_t kColumn = 25;
    left.resize(std::max(left.size() + 1, kColumn), ' ');
    return left + help + "\n";
}

}  // namespace

std::string BatchHelpText() {
    std::string text =
        "Usage: kambrix-batch PHOTO|FOLDER... [options]\n"
        "\n"
        "Frames each photo automatically and composes and saves its print sheet, as\n"
        "the Kambrix window does. Folders give the JPEG files directly inside them.\n"
        "Photos are taken in sorted order.\n"
        "\n"
        "Options:\n";
    const std::pair<const char*, const char*> fixed[] = {
        {"--layout FILE", "layout INI file (default: the built-in layout)"},
        {"--out DIR", "save folder (default: beside each photo, as the window saves)"},
        {"--jobs N",
         "photos worked on at once, each on one core (default: one per core it may use)"},
        {"--report FILE", "write a report; FILE ends in .json or .csv"},
        {"--frame-only", "frame and report only; write no sheet"},
        {"--skip-existing", "pass over photos whose sheet already exists"},
        {"--shard K/N", "take every N-th photo from the K-th (0-based) to spread a folder"},
        {"", "over machines; layouts with one person per sheet only"},
        {"--head-top METHOD", "how the top of the head is found (default: contour):"},
        {"", "contour: from the outline of the head against the background"},
        {"", "background: scanning up to the colour beside the forehead, as the"},
        {"", "window does unless told otherwise"},
        {"", "estimate: a fixed distance above the face the search found"},
    };
    for (const auto& [option, help] : fixed) text += HelpLine(std::string("  ") + option, help);
    for (const NumberOption& n : kNumbers) {
        text += HelpLine(std::string("  --") + n.name + " N",
                         std::string(n.help) + " (" + std::to_string(n.min) + " to " +
                             std::to_string(n.max) + ", default " +
                             std::to_string(BatchSettings{}.*n.field) + ")");
    }
    text += "\nSwitches (--NAME on, --no-NAME off):\n";
    for (const SwitchOption& s : kSwitches) {
        text += HelpLine(std::string("  --[no-]") + s.name,
                         std::string(s.help) + ((BatchSettings{}.*s.field) ? " (on)" : " (off)"));
    }
    text += '\n';
    text += HelpLine("  -h, --help", "show this text");
    text +=
        "\nExit status: 0 all photos done, 1 some failed, 2 bad command line,\n"
        "130 interrupted (the photos in progress are finished and the report written).\n";
    return text;
}
