#include "e2e/fault_run_support.h"

#include <algorithm>
#include <fstream>
#include <random>

#include "platform/bitmap.h"
#include "platform/jpeg.h"
#include "platform/memory.h"
#include "support/temp_folder.h"

namespace fault_run {

std::string QuickLayoutText() {
    // The shipped 30 x 40 mm four-place sheet at half its resolution.
    std::string text =
        "[Paper]\r\ndpi=150\r\nwidth=526\r\nheight=750\r\nphoto_ct=4\r\nphoto_ct_per_person=4\r\n"
        "fontsize=20\r\ntext=\r\nbg_img_name=\r\nhaar_top=30\r\nhaar_bottom=7\r\n";
    const int cx[] = {150, 375, 150, 375}, cy[] = {183, 183, 468, 468};
    for (int i = 0; i < 4; ++i)
        text += "[Layout" + std::to_string(i) +
                "]\r\nwidth=189\r\nheight=248\r\nwidthIn=177\r\nheightIn=236\r\ncx=" +
                std::to_string(cx[i]) + "\r\ncy=" + std::to_string(cy[i]) +
                "\r\nhny=30\r\nbny=59\r\nr=0\r\n";
    return text;
}

std::vector<std::uint8_t> SmallPortrait(const std::string& source, int longSide) {
    Bitmap full;
    if (DecodeJpegFile(source, full) != 0) return {};
    // Whole boxes of source pixels averaged: coarse, but a face stays a face.
    const int step = std::max(1, (std::max(full.Width(), full.Height()) + longSide - 1) / longSide);
    Bitmap small(full.Width() / step, full.Height() / step);
    for (int y = 0; y < small.Height(); ++y)
        for (int x = 0; x < small.Width(); ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < step; ++dy) {
                const std::uint8_t* p = full.Row(y * step + dy) + x * step * 3;
                for (int i = 0; i < step * 3; ++i) sum[i % 3] += p[i];
            }
            std::uint8_t* q = small.Row(y) + x * 3;
            for (int c = 0; c < 3; ++c) q[c] = static_cast<std::uint8_t>(sum[c] / (step * step));
        }
    std::vector<std::uint8_t> jpeg;
    EncodeJpegMemory(small, 85, jpeg);
    return jpeg;
}

std::string Damaged(const std::vector<std::uint8_t>& jpeg, Damage damage) {
    switch (damage) {
        case Damage::Truncated:
            return std::string(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
        case Damage::Garbage: {
            std::mt19937 random(static_cast<unsigned>(jpeg.size()));
            std::string bytes(jpeg.size(), '\0');
            for (char& c : bytes) c = static_cast<char>(random());
            return bytes;
        }
        case Damage::Empty:
            return {};
    }
    return {};
}

namespace {

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string Numbered(const char* prefix, int i) {
    std::string n = std::to_string(i);
    return prefix + std::string(n.size() < 3 ? 3 - n.size() : 0, '0') + n + ".jpg";
}

}  // namespace

std::vector<std::string> WriteSampleCopies(const fs::path& folder, int count) {
    const std::string face = AsString(
        SmallPortrait((SourceDir() / "data/samples/visualhunt_bald_beard.jpg").string(), 500));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(Numbered("p", i));
        WriteBytes(folder / names.back(), face);
    }
    return names;
}

MixedSet WriteMixedSet(const fs::path& folder, const std::string& portraits, int count,
                       int damagedEvery) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> small;
    std::vector<fs::path> sources;
    for (const auto& e : fs::directory_iterator(portraits))
        if (e.path().extension() == ".jpg") sources.push_back(e.path());
    std::sort(sources.begin(), sources.end());
    for (const fs::path& p : sources)
        small.emplace_back(p.filename().string(), SmallPortrait(p, 400));
    MixedSet set;
    const Damage kinds[] = {Damage::Truncated, Damage::Garbage, Damage::Empty};
    for (int i = 0; i < count; ++i) {
        const auto& [origin, jpeg] = small[static_cast<std::size_t>(i) % small.size()];
        const std::string name = Numbered("m", i);
        set.names.push_back(name);
        set.origins[name] = origin;
        const bool damaged = i % damagedEvery == damagedEvery - 1;
        if (damaged) set.damaged.insert(name);
        WriteBytes(folder / name,
                   damaged ? Damaged(jpeg, kinds[(i / damagedEvery) % 3]) : AsString(jpeg));
    }
    return set;
}

std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
    return files;
}

bool DecodesWhole(const std::string& path) {
    Bitmap b;
    return DecodeJpegFile(path, b) == 0;
}

long ResidentKb() {
    ProcessMemoryInfo info;
    return QueryProcessMemory(info) ? static_cast<long>(info.workingSet / 1024) : 0;
}

void MemoryByStep::Sample(int step) {
    const std::size_t i = std::min(static_cast<std::size_t>(std::max(step, 0)), peak_.size() - 1);
    peak_[i] = std::max(peak_[i], ResidentKb());
}

long MemoryByStep::PeakKb(int from, int to) const {
    long peak = 0;
    for (int i = std::max(from, 0); i < to && i < static_cast<int>(peak_.size()); ++i)
        peak = std::max(peak, peak_[static_cast<std::size_t>(i)]);
    return peak;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c == '\n' && !quoted) {
            rows.push_back(std::move(fields));
            fields.assign(1, {});
        } else if (c != '\r' || quoted) {
            fields.back() += c;
        }
    }
    if (fields.size() > 1 || !fields[0].empty()) rows.push_back(std::move(fields));
    return rows;
}

}  // namespace fault_run
