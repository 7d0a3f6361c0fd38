#include "cli/report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/paths.h"

namespace {

constexpr const char* kRectSides[] = {"left", "top", "right", "bottom"};

std::string Number(std::optional<int> value) {
    return value ? std::to_string(*value) : std::string();
}

std::string JsonNumber(std::optional<int> value) {
    return value ? std::to_string(*value) : "null";
}

std::string JsonRect(const std::optional<PixelRect>& r) {
    if (!r) return "null";
    std::string text(1, '[');
    text += std::to_string(r->left) + ", " + std::to_string(r->top) + ", ";
    text += std::to_string(r->right) + ", " + std::to_string(r->bottom) + "]";
    return text;
}

std::string JsonPath(const std::optional<std::string>& path) {
    return path ? JsonQuote(*path) : "null";
}

std::vector<std::string> CsvRect(const std::optional<PixelRect>& r) {
    if (!r) return {"", "", "", ""};
    return {std::to_string(r->left), std::to_string(r->top), std::to_string(r->right),
            std::to_string(r->bottom)};
}

// Records: fields as [4-byte length][bytes]; a length of 0xFFFFFFFF is "unknown".
constexpr std::uint32_t kNull = 0xFFFFFFFFu;

void PutField(std::string& out, const std::optional<std::string>& value) {
    const std::uint32_t n = value ? static_cast<std::uint32_t>(value->size()) : kNull;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    if (value) out += *value;
}

void PutInt(std::string& out, std::optional<int> value) {
    PutField(out, value ? std::optional<std::string>(std::to_string(*value)) : std::nullopt);
}

class FieldReader {
  public:
    explicit FieldReader(const std::string& data) : data_(data) {}
    bool Failed() const { return failed_; }
    bool AtEnd() const { return pos_ == data_.size(); }

    std::optional<std::string> Field() {
        if (failed_ || data_.size() - pos_ < 4) return Fail();
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
        pos_ += 4;
        if (n == kNull) return std::nullopt;
        if (data_.size() - pos_ < n) return Fail();
        std::string value = data_.substr(pos_, n);
        pos_ += n;
        return value;
    }
    std::string Text() {
        auto value = Field();
        if (!value) failed_ = true;
        return value.value_or(std::string());
    }
    std::optional<int> Int() {
        const auto text = Field();
        if (!text) return std::nullopt;
        try {
            std::size_t used = 0;
            const int value = std::stoi(*text, &used);
            if (used == text->size()) return value;
        } catch (...) {
        }
        failed_ = true;
        return std::nullopt;
    }
    int RequiredInt() {
        const auto value = Int();
        if (!value) failed_ = true;
        return value.value_or(0);
    }
    std::optional<PixelRect> Rect() {
        const auto present = Int();
        if (!present || *present == 0) return std::nullopt;
        PixelRect r;
        r.left = RequiredInt();
        r.top = RequiredInt();
        r.right = RequiredInt();
        r.bottom = RequiredInt();
        return r;
    }

  private:
    std::optional<std::string> Fail() {
        failed_ = true;
        return std::nullopt;
    }
    const std::string& data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

void PutRect(std::string& out, const std::optional<PixelRect>& r) {
    PutInt(out, r ? 1 : 0);
    if (!r) return;
    for (int v : {r->left, r->top, r->right, r->bottom}) PutInt(out, v);
}

}  // namespace

const char* StatusName(PhotoStatus status) {
    switch (status) {
        case PhotoStatus::Ok:
            return "ok";
        case PhotoStatus::Skipped:
            return "skipped";
        case PhotoStatus::Failed:
            break;
    }
    return "failed";
}

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void WriteJsonReport(std::ostream& out, const std::vector<PhotoResult>& results) {
    out << "[";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const PhotoResult& r = results[i];
        out << (i ? ",\n  {" : "\n  {");
        out << "\"file\": " << JsonQuote(r.file) << ", \"status\": \"" << StatusName(r.status)
            << "\", \"code\": " << r.code << ", \"message\": " << JsonQuote(r.message)
            << ", \"face\": " << JsonRect(r.face) << ", \"frame\": " << JsonRect(r.frame)
            << ", \"chin_y\": " << JsonNumber(r.chinY)
            << ", \"head_top_y\": " << JsonNumber(r.headTopY) << ", \"rotation\": " << r.rotation
            << ", \"sheet\": " << JsonPath(r.sheet) << ", \"trimmed\": " << JsonPath(r.trimmed)
            << ", \"ms\": {";
        for (std::size_t s = 0; s < r.ms.size(); ++s)
            out << (s ? ", " : "") << JsonQuote(r.ms[s].first) << ": " << r.ms[s].second;
        out << "}}";
    }
    out << (results.empty() ? "]\n" : "\n]\n");
}

void WriteCsvReport(std::ostream& out, const std::vector<PhotoResult>& results) {
    // Every stage any photo went through, in the order they first appear: a
    // photo that failed early has fewer stages than one that made a sheet.
    std::vector<std::string> stages;
    for (const PhotoResult& r : results)
        for (const auto& stage : r.ms)
            if (std::find(stages.begin(), stages.end(), stage.first) == stages.end())
                stages.push_back(stage.first);
    std::vector<std::string> header = {"file", "status", "code", "message"};
    for (const char* rect : {"face", "frame"})
        for (const char* side : kRectSides) header.push_back(std::string(rect) + "_" + side);
    for (const char* name : {"chin_y", "head_top_y", "rotation", "sheet", "trimmed"})
        header.push_back(name);
    for (const std::string& stage : stages) header.push_back("ms_" + stage);
    const auto writeRow = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            out << (i ? "," : "") << CsvField(fields[i]);
        out << "\r\n";
    };
    writeRow(header);
    for (const PhotoResult& r : results) {
        std::vector<std::string> row = {r.file, StatusName(r.status), std::to_string(r.code),
                                        r.message};
        for (const auto& rect : {r.face, r.frame})
            for (std::string& v : CsvRect(rect)) row.push_back(std::move(v));
        row.push_back(Number(r.chinY));
        row.push_back(Number(r.headTopY));
        row.push_back(std::to_string(r.rotation));
        row.push_back(r.sheet.value_or(""));
        row.push_back(r.trimmed.value_or(""));
        for (const std::string& stage : stages) {
            std::string value;
            for (const auto& [name, ms] : r.ms)
                if (name == stage) value = std::to_string(ms);
            row.push_back(value);
        }
        writeRow(row);
    }
}

bool SaveReport(const std::string& path, bool csv, const std::vector<PhotoResult>& results,
                std::string& error) {
    const std::filesystem::path target = ToFsPath(path);
    std::filesystem::path temp = target;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) csv ? WriteCsvReport(out, results) : WriteJsonReport(out, results);
        out.flush();
        if (!out) {
            error = "cannot write the report " + path;
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        error = "cannot write the report " + path + ": " + ec.message();
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

std::string EncodeResult(const PhotoResult& r) {
    std::string out;
    PutField(out, r.file);
    PutInt(out, static_cast<int>(r.status));
    PutInt(out, r.code);
    PutField(out, r.message);
    PutRect(out, r.face);
    PutRect(out, r.frame);
    PutInt(out, r.chinY);
    PutInt(out, r.headTopY);
    PutInt(out, r.rotation);
    PutField(out, r.sheet);
    PutField(out, r.trimmed);
    PutInt(out, static_cast<int>(r.ms.size()));
    for (const auto& [stage, ms] : r.ms) {
        PutField(out, stage);
        PutInt(out, ms);
    }
    return out;
}

std::optional<PhotoResult> DecodeResult(const std::string& record) {
    FieldReader in(record);
    PhotoResult r;
    r.file = in.Text();
    const int status = in.RequiredInt();
    if (status < 0 || status > static_cast<int>(PhotoStatus::Skipped)) return std::nullopt;
    r.status = static_cast<PhotoStatus>(status);
    r.code = in.RequiredInt();
    r.message = in.Text();
    r.face = in.Rect();
    r.frame = in.Rect();
    r.chinY = in.Int();
    r.headTopY = in.Int();
    r.rotation = in.RequiredInt();
    r.sheet = in.Field();
    r.trimmed = in.Field();
    const int stages = in.RequiredInt();
    for (int i = 0; i < stages && !in.Failed(); ++i) {
        std::string stage = in.Text();
        r.ms.emplace_back(std::move(stage), in.RequiredInt());
    }
    if (in.Failed() || !in.AtEnd()) return std::nullopt;
    return r;
}
