// The layout list, the layout file dialog and the current layout.
#include <QCollator>
#include <QComboBox>
#include <algorithm>

#include "app/form1.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "platform/paths.h"

namespace {
constexpr const char* kLayoutCaption = "レイアウトファイル";
}

TLayout TForm1::CurrentLayout() const {
    TLayout layout;
    layout.paper = FPaper;
    layout.slots = FSlots;
    layout.haarTop = FHaarTop;
    layout.haarBottom = FHaarBottom;
    return layout;
}

void TForm1::SetLayout(const TLayout& layout) {
    FPaper = layout.paper;
    FSlots = layout.slots;
    FHaarTop = layout.haarTop;
    FHaarBottom = layout.haarBottom;
    UpdateFrameLimits();
}

void TForm1::UpdateFrameLimits() {
    const FrameLimits limits = ::UpdateFrameLimits(CurrentLayout());
    FFrameBaseW = limits.baseW;
    FFrameBaseH = limits.baseH;
    FFrameMaxW = limits.maxW;
    FFrameMaxH = limits.maxH;
    FFrameW = limits.aspectW;
    FFrameH = limits.aspectH;
}

bool TForm1::LoadLayout(const std::string& path) {
    TLayout layout = CurrentLayout();
    const bool ok = LoadLayoutFile(path, layout);
    SetLayout(layout);
    return ok;
}

void TForm1::FillLayoutList() {
    ComboBox2->clear();
    ComboBox2->addItem(QString());
    FLayoutPaths.clear();
    ListLayoutFiles(FAppDir, FLayoutPaths);
    // In the order a Japanese reader expects (kana by reading, Latin letters
    // without regard to case), not by bytes.
    QCollator collator(ProgramLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(FLayoutPaths.begin(), FLayoutPaths.end(),
                     [&collator](const std::string& a, const std::string& b) {
                         return collator.compare(Q(LayoutDisplayName(a)), Q(LayoutDisplayName(b))) <
                                0;
                     });
    for (const std::string& p : FLayoutPaths) ComboBox2->addItem(Q(LayoutDisplayName(p)));
    ComboBox2->setCurrentIndex(-1);
}

void TForm1::ComboBox2Click() {
    // The item's own file: on a case-sensitive file system "X.INI" is not "X.ini".
    const int index = ComboBox2->currentIndex() - 1;
    if (index < 0 || index >= static_cast<int>(FLayoutPaths.size())) return;
    const std::string& path = FLayoutPaths[index];
    if (!FileExists(path)) return;
    const bool ok = LoadLayout(path);
    FHost.dialogs->ShowMessage(
        path + (ok ? "を正常に読込みました。" : "が正常に読込めませんでした。"), kLayoutCaption);
}

std::string TForm1::ChooseLayoutFile() {
    FileDialogRequest request;
    request.title = "レイアウト設定ファイルの読み込み";
    request.initialFolder = FAppDir + "Frame" + kPathSeparator;
    request.filter = "レイアウト設定ファイル (*.ini)|*.ini";
    for (;;) {
        const std::vector<std::string> chosen = FHost.dialogs->OpenFiles(request);
        if (chosen.empty()) return "";
        if (chosen.size() == 1 && IsLayoutFileName(chosen.front())) return chosen.front();
    }
}

void TForm1::LoadLayoutByDialog() {
    const std::string path = ChooseLayoutFile();
    if (!path.empty()) LoadLayout(path);
}
