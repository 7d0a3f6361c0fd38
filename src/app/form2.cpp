#include "app/form2.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include "app/form1.h"
#include "app/ui_text.h"
#include "platform/paths.h"

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 600;

QCheckBox* Check(QWidget* parent, const char* caption, int x, int y, bool checked) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setGeometry(x, y, 300, 20);
    c->setChecked(checked);
    return c;
}
}  // namespace

TForm2::TForm2(TForm1* main, Host host, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), FMain(main), FHost(host) {
    setWindowTitle(QString::fromUtf8("設定"));
    setFont(WindowFont());
    setFixedSize(kWidth, kHeight);
    CentreOnScreen(this);

    // Left column: the check boxes.
    int y = 12;
    auto next = [&y] { return (y += 24) - 24; };
    CheckBox16 =
        Check(this, "長辺が3000pixel以上の画像は縮小してから自動認識する", 12, next(), true);
    CheckBox16->setFixedWidth(330);
    CheckBox4 = Check(this, "画像読込時に自動認識を行う", 12, next(), true);
    CheckBox9 = Check(this, "自動認識出来ないのをスキップ", 12, next(), false);
    CheckBox7 = Check(this, "背景色で頭頂位置を補正する", 12, next(), true);
    CheckBox11 = Check(this, "画像の90％以上の場合は認識エラーとする", 12, next(), true);
    CheckBox12 = Check(this, "画像の上半分のみを対象に検出する", 12, next(), true);
    CheckBox14 = Check(this, "顎も検出する", 12, next(), true);
    CheckBox3 = Check(this, "顔認識結果を表示する", 12, next(), true);
    CheckBox15 = Check(this, "90度回転して再認識を行う", 12, next(), false);
    CheckBox6 = Check(this, "認識結果画像を保存", 12, next(), true);
    y += 8;
    CheckBox1 = Check(this, "センタートンボ出力", 12, next(), true);
    CheckBox2 = Check(this, "コーナートンボ出力", 12, next(), true);
    CheckBox5 = Check(this, "目盛の出力", 12, next(), true);
    CheckBox8 = Check(this, "同名のファイルは上書きしない", 12, next(), true);
    CheckBox10 = Check(this, "トリミング画像も保存する", 12, next(), true);
    CheckBox17 = Check(this, "EXIF の向きに従って表示する", 12, next(), true);

    // Right column: the sliders, each with its caption and scale.
    TrackBar4 = AddSlider(this, 84, "Jpeg画質", Label17, 0, 100, 90, 10, 10, {"0", "50", "100"});
    TrackBar3 = AddSlider(this, 164, "頭頂部の背景色比率", Label4, 50, 100, 80, 1, 5,
                          {"50%", "75%", "100%"});
    Label21 = new QLabel(QString::fromUtf8("しきい値"), this);
    Label21->setGeometry(Label4->x() + 140, Label4->y(), 80, 18);
    TrackBar1 = AddSlider(this, 244, "背景色とする色範囲(±）", Label1, 0, 100, 50, 1, 5,
                          {"0", "50", "100"});
    TrackBar2 = AddSlider(this, 324, "自動検出精度", Label9, 1, 10, 3, 1, 5, {"1", "5", "10"});
    TrackBar6 =
        AddSlider(this, 404, "顔最小サイズ(pix)", Label23, 100, 1000, 200, 1, 100, {"100", "1000"});

    BitBtn1 = new QPushButton(QString::fromUtf8("レイアウト読み込み"), this);
    BitBtn1->setGeometry(360, 12, 150, 65);
    // Not a default button: Enter after ticking an option must not open the
    // layout file dialog.
    BitBtn11 = new QPushButton(QString::fromUtf8("閉じる"), this);
    BitBtn11->setGeometry(kWidth - 119, 12, 107, 65);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(12, 420, 336, 168);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn11, &QPushButton::clicked, this, [this] { BitBtn11Click(); });
    connect(CheckBox4, &QCheckBox::toggled, this, [this] { CheckBox4Click(); });
}

QSlider* TForm2::AddSlider(QWidget* box, int y, const char* caption, QLabel*& label, int min,
                           int max, int value, int page, int tick,
                           std::initializer_list<const char*> scale) {
    constexpr int x = 360, width = 260;
    label = new QLabel(QString::fromUtf8(caption), box);
    label->setGeometry(x, y, 140, 18);
    auto* slider = new QSlider(Qt::Horizontal, box);
    slider->setGeometry(x, y + 18, width, 28);
    slider->setRange(min, max);
    slider->setValue(value);
    slider->setPageStep(page);
    slider->setSingleStep(1);
    slider->setTickInterval(tick);
    slider->setTickPosition(QSlider::TicksBelow);
    // The scale under the slider: first at the left, last at the right, any
    // middle one centred.
    const int n = static_cast<int>(scale.size());
    int i = 0;
    for (const char* text : scale) {
        auto* l = new QLabel(QString::fromUtf8(text), box);
        const int lx = n == 1 ? x : x + (width - 40) * i / (n - 1);
        l->setGeometry(lx, y + 46, 40, 16);
        l->setAlignment(i == 0 ? Qt::AlignLeft : (i == n - 1 ? Qt::AlignRight : Qt::AlignHCenter));
        ++i;
    }
    return slider;
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TForm2::FormShow() {
    setFixedHeight(kHeight);
}

void TForm2::BitBtn1Click() {
    if (FMain) FMain->LoadLayoutByDialog();
}

void TForm2::BitBtn11Click() {
    hide();
}

void TForm2::CheckBox4Click() {
    if (!CheckBox4->isChecked() || !FMain) return;
    SetCurrentFolder(FMain->FAppDir);
    if (FileExists(FMain->FAppDir + kCascadeFile)) return;
    FHost.dialogs->ShowMessage(kNoCascadeText, FMain->FTitle);
    CheckBox4->setChecked(false);
}
