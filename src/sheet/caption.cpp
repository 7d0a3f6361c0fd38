// Captions: the name list beside the photos, the caption modes, and one
// caption line drawn with Qt's text engine on the sheet's own pixels.
#include "sheet/caption.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include "platform/cp932.h"
#include "platform/paths.h"

namespace {

bool IsBlank(unsigned char c) {
    return c >= 1 && c <= 32;
}

// Bytes of the character starting at `at` (a lead byte takes its trail byte
// with it; a lead byte at the end stands alone).
std::size_t CharLength(std::string_view s, std::size_t at, bool cp932) {
    if (cp932 && IsCp932LeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size()) return 2;
    return 1;
}

void SkipBlanks(std::string_view s, std::size_t& at) {
    while (at < s.size() && IsBlank(static_cast<unsigned char>(s[at]))) ++at;
}

// A quoted field from the opening quote at `at`; a doubled quote inside is
// one quote. A line ending inside the quotes ends the field with everything
// read so far.
std::string QuotedField(std::string_view s, std::size_t& at, bool cp932) {
    std::string field;
    ++at;
    while (at < s.size()) {
        if (s[at] == '"') {
            if (at + 1 < s.size() && s[at + 1] == '"') {
                field += '"';
                at += 2;
                continue;
            }
            ++at;
            break;
        }
        const std::size_t n = CharLength(s, at, cp932);
        field.append(s.substr(at, n));
        at += n;
    }
    return field;
}

std::string PlainField(std::string_view s, std::size_t& at, bool cp932) {
    const std::size_t start = at;
    while (at < s.size() && s[at] != ',' && !IsBlank(static_cast<unsigned char>(s[at])))
        at += CharLength(s, at, cp932);
    return std::string(s.substr(start, at - start));
}

std::string_view StripUtf8Bom(std::string_view bytes, bool& wasUtf8) {
    wasUtf8 = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    return wasUtf8 ? bytes.substr(3) : bytes;
}

// Shift-JIS byte count of one UTF-8 character: one for ASCII and the
// half-width katakana U+FF61..U+FF9F, two for everything else.
int Cp932Width(std::string_view utf8Char) {
    const auto c0 = static_cast<unsigned char>(utf8Char[0]);
    if (c0 < 0x80) return 1;
    if (utf8Char.size() == 3 && c0 == 0xEF) {
        const unsigned cp = ((c0 & 0x0Fu) << 12) |
                            ((static_cast<unsigned char>(utf8Char[1]) & 0x3Fu) << 6) |
                            (static_cast<unsigned char>(utf8Char[2]) & 0x3Fu);
        if (cp >= 0xFF61 && cp <= 0xFF9F) return 1;
    }
    return 2;
}

std::size_t Utf8Length(std::string_view s, std::size_t at) {
    std::size_t n = 1;
    while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Faces tried after the layout's own, in order: the Japanese Gothic faces a
// Linux desktop is likely to have, then whatever fontconfig offers.
const QStringList& GothicFallbacks() {
    static const QStringList faces{"IPAGothic",          "IPAexGothic", "Noto Sans CJK JP",
                                   "Source Han Sans JP", "VL Gothic",   "TakaoGothic"};
    return faces;
}

// The largest pixel size of `font` whose cell (ascent + descent) does not
// exceed `size`, found from the ratio measured at `size`.
int FittingPixelSize(QFont font, int size) {
    const auto cell = [&font](int pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics m(font);
        return m.ascent() + m.descent();
    };
    const int measured = cell(size);
    int pixels = measured > 0 ? std::max(1, static_cast<int>(1LL * size * size / measured)) : size;
    while (pixels > 1 && cell(pixels) > size) --pixels;
    while (cell(pixels + 1) <= size) ++pixels;
    return pixels;
}

// The font whose cell is `size` pixels. Finding its pixel size takes a font
// engine for every size tried; the captions of a sheet, and of sheet after
// sheet, ask for the same face and size, so the last answer is kept (per
// thread: batch workers draw side by side).
QFont CaptionFont(const std::string& face, int size) {
    QFont font;
    QStringList families;
    if (!face.empty()) families << QString::fromStdString(face);
    families += GothicFallbacks();
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    struct Fitted {
        std::string face;
        int size = 0, pixels = 0;
    };
    thread_local Fitted last;
    if (last.size != size || last.face != face || last.pixels <= 0)
        last = {face, size, FittingPixelSize(font, size)};
    font.setPixelSize(last.pixels);
    return font;
}

}  // namespace

CaptionMode CaptionModeOf(const std::string& text) {
    if (text == "FILENAMELIST") return CaptionMode::FileNameList;
    if (text == "FILENAME") return CaptionMode::FileName;
    return CaptionMode::None;
}

std::string FileNameCaption(const std::string& photoPath) {
    const std::string name = FileNameOf(photoPath);
    const std::size_t dot = name.find('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

std::vector<std::string> SplitNameListLine(std::string_view line, bool cp932) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    SkipBlanks(line, at);
    while (at < line.size()) {
        fields.push_back(line[at] == '"' ? QuotedField(line, at, cp932)
                                         : PlainField(line, at, cp932));
        SkipBlanks(line, at);
        if (at < line.size() && line[at] == ',') {
            ++at;
            SkipBlanks(line, at);
            // A comma always ends a field: one at the end leaves an empty one.
            if (at >= line.size()) fields.emplace_back();
        }
    }
    return fields;
}

NameList ParseNameList(std::string_view bytes) {
    bool utf8 = false;
    bytes = StripUtf8Bom(bytes, utf8);
    NameList list;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", at);
        const std::string_view line =
            bytes.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end != std::string_view::npos && bytes[end] == '\r' && at < bytes.size() &&
            bytes[at] == '\n')
            ++at;
        const std::vector<std::string> fields = SplitNameListLine(line, !utf8);
        if (fields.size() < 2) continue;
        if (utf8)
            list.push_back({fields[0], fields[1]});
        else
            list.push_back({Cp932ToUtf8(fields[0]), Cp932ToUtf8(fields[1])});
    }
    return list;
}

NameList LoadNameList(const std::string& photoDir) {
    std::string bytes;
    if (photoDir.empty() || !ReadFileBytes(photoDir + kNameListFile, bytes)) return {};
    return ParseNameList(bytes);
}

std::string NameListCaption(const NameList& list, const std::string& fileName) {
    for (const NameListEntry& e : list)
        if (e.fileName == fileName) return e.caption;
    return {};
}

std::string CaptionFor(CaptionMode mode, const std::string& photoPath, const NameList& list) {
    switch (mode) {
        case CaptionMode::FileName:
            return FileNameCaption(photoPath);
        case CaptionMode::FileNameList:
            return NameListCaption(list, FileNameOf(photoPath));
        case CaptionMode::None:
            break;
    }
    return {};
}

std::string CutCaption(const std::string& text, int maxBytes) {
    std::size_t at = 0;
    int bytes = 0;
    while (at < text.size()) {
        const std::size_t n = Utf8Length(text, at);
        const int width = Cp932Width(std::string_view(text).substr(at, n));
        if (bytes + width > maxBytes) break;
        bytes += width;
        at += n;
    }
    return text.substr(0, at);
}

std::string CaptionFontFamily(const std::string& face) {
    if (!QGuiApplication::instance()) return {};
    return QFontInfo(CaptionFont(face, 40)).family().toStdString();
}

int CaptionCellHeight(const std::string& face, int size) {
    if (!QGuiApplication::instance() || size <= 0) return 0;
    const QFontMetrics m(CaptionFont(face, size));
    return m.ascent() + m.descent();
}

PixelRect SheetTextBox(int x, int y, int width, int size) {
    const int left = x - width / 2, top = y - size / 2;
    return {left, top, left + width, top + size};
}

int DrawSheetText(Bitmap& sheet, int x, int y, const std::string& text, int size,
                  const std::string& face) {
    const std::string caption = CutCaption(text);
    if (caption.empty() || size <= 0 || sheet.Empty()) return 0;
    if (!QGuiApplication::instance()) return -1;
    const QFont font = CaptionFont(face, size);
    const QString qtext = QString::fromStdString(caption);
    const QFontMetrics metrics(font);
    const PixelRect box = SheetTextBox(x, y, metrics.horizontalAdvance(qtext), size);
    if (box.Width() <= 0) return 0;
    QImage view(sheet.Data(), sheet.Width(), sheet.Height(), sheet.Stride(), QImage::Format_BGR888);
    QPainter painter(&view);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setClipRect(box.left, box.top, box.Width(), box.Height());
    // The cell's top is the box's top: the baseline lies one ascent below it.
    painter.drawText(box.left, box.top + metrics.ascent(), qtext);
    return 0;
}
