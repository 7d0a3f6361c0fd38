#include "cli/progress.h"

#include <algorithm>
#include <cmath>

#include "platform/text_format.h"

void ProgressCounts::Add(PhotoStatus status) {
    switch (status) {
        case PhotoStatus::Ok:
            ++ok;
            break;
        case PhotoStatus::Failed:
            ++failed;
            break;
        case PhotoStatus::Skipped:
            ++skipped;
            break;
    }
}

namespace {

double Rate(int done, double seconds) {
    return seconds > 0 ? done / seconds : 0.0;
}

}  // namespace

std::string FormatDuration(double seconds) {
    const long long s = std::max(0LL, std::llround(seconds));
    if (s >= 3600) return FormatText("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return FormatText("%lld:%02lld", s / 60, s % 60);
}

std::string FormatProgressBar(const ProgressCounts& counts, double seconds, int width) {
    const int done = counts.Done();
    const int filled = counts.total > 0 ? static_cast<int>(1LL * done * width / counts.total) : 0;
    std::string text(1, '[');
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(width - filled), '.');
    text += "] ";
    text += FormatText("%d/%d", done, counts.total);
    if (counts.failed > 0) text += FormatText(" (%d failed)", counts.failed);
    const double rate = Rate(done, seconds);
    if (done > 0 && rate > 0) {
        text += FormatText("  %.1f photos/s", rate);
        text += "  " + FormatDuration((counts.total - done) / rate) + " left";
    }
    return text;
}

std::string FormatPhotoLine(const ProgressCounts& counts, const PhotoResult& r) {
    std::string line = FormatText("%d/%d %s ", counts.Done(), counts.total, StatusName(r.status));
    line += r.file;
    if (r.status != PhotoStatus::Ok) {
        std::string message = r.message;
        std::replace(message.begin(), message.end(), '\n', ' ');
        if (!message.empty()) line += ": " + message;
        line += FormatText(" (code %d)", r.code);
    }
    return line;
}

std::string FormatSummary(const ProgressCounts& counts, double seconds, bool interrupted) {
    std::string text =
        FormatText("%d photo%s: %d ok, %d failed, %d skipped", counts.Done(),
                   counts.Done() == 1 ? "" : "s", counts.ok, counts.failed, counts.skipped);
    text += FormatText(" in %.1f s (%.2f photos/s)", seconds, Rate(counts.Done(), seconds));
    if (interrupted)
        text += FormatText("; interrupted, %d not started", counts.total - counts.Done());
    return text;
}
