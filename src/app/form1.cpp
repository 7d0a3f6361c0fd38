#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <new>

#include "app/form2.h"
#include "app/form3.h"
#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {
constexpr int kMinWidth = 1024;
constexpr int kMinHeight = 755;
constexpr int kViewTop = 150;
constexpr std::array<int, 4> kPanelWidths{300, 500, 200, 50};

QPushButton* Button(QWidget* parent, const char* caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setGeometry(x, y, w, h);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QLabel* Label(QWidget* parent, const char* caption, int x, int y, int w) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    l->setGeometry(x, y, w, 24);
    return l;
}

QCheckBox* Check(QWidget* parent, const char* caption, int x, int y, int w, bool checked) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setGeometry(x, y, w, 20);
    c->setChecked(checked);
    return c;
}
}  // namespace

TForm1::TForm1(const std::string& appDir, Host host, QWidget* parent)
    : QMainWindow(parent), FHost(host) {
    FAppDir = appDir;
    BuildControls();
    FResize = new TResizeControl(ScrollBox1->widget());
    FResize->OnMouseDown = [this](TImage*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        FFrameDragging = true;
    };
    // The outline follows the frame at the size each drag step gave it; a
    // frame set by hand is the user's, whatever the framing said.
    FResize->OnStep = [this] {
        if (!FFrameDragging) return;
        FFramingFailed = false;
        DrawFrameOverlay();
    };
    FResize->OnMouseUp = [this](TImage*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        FFrameDragging = false;
    };
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::AttachWindows(TForm2* settings, TForm3* preview) {
    Form2 = settings;
    Form3 = preview;
}

void TForm1::BuildControls() {
    setFont(WindowFont());
    auto* client = new QWidget(this);
    setCentralWidget(client);

    BitBtn1 = Button(client, "新規作成", 12, 8, 96, 40);
    BitBtn2 = Button(client, "写真選択", 112, 8, 96, 40);
    BitBtn9 = Button(client, "顔自動認識", 212, 8, 96, 40);
    BitBtn3 = Button(client, "シート作成", 312, 8, 96, 40);
    BitBtn10 = Button(client, "スキップ", 412, 8, 96, 40);
    BitBtn11 = Button(client, "中断", 512, 8, 96, 40);
    BitBtn16 = Button(client, "設定", 640, 8, 96, 40);
    BitBtn14 = Button(client, "終了(&C)", kMinWidth - 120, 8, 107, 65);

    BitBtn4 = Button(client, "左９０度回転", 12, 56, 92, 30);
    BitBtn6 = Button(client, "左0.1度回転", 108, 56, 92, 30);
    BitBtn7 = Button(client, "右0.1度回転", 204, 56, 92, 30);
    BitBtn5 = Button(client, "右９０度回転", 300, 56, 92, 30);
    BitBtn8 = Button(client, "回転リセット", 396, 56, 92, 30);
    Label3 = Label(client, "回転角", 500, 59, 44);
    Edit4 = new QLineEdit("0", client);
    Edit4->setGeometry(546, 59, 70, 24);
    Edit4->setReadOnly(true);
    SpeedButton1 = Button(client, "頭部サイズ指定", 640, 56, 110, 30);
    SpeedButton1->setCheckable(true);

    Label1 = Label(client, "拡大率", 12, 94, 44);
    ComboBox1 = new QComboBox(client);
    ComboBox1->setGeometry(58, 94, 80, 24);
    ComboBox1->addItems({"100%", "120%", "150%", "200%"});
    ComboBox1->setEditable(true);
    // Typed text means 100 % and never becomes an item of the list.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCurrentIndex(0);
    Label4 = Label(client, "レイアウト設定ファイル", 152, 94, 130);
    ComboBox2 = new QComboBox(client);
    ComboBox2->setGeometry(284, 94, 210, 24);
    Label2 = Label(client, "保存先フォルダ", 508, 94, 84);
    Edit3 = new QLineEdit(client);
    Edit3->setGeometry(594, 94, 296, 24);
    Edit3->setToolTip(QString::fromUtf8("ここへ保存先フォルダをドラッグ＆ドロップします。"));
    Image4 = new TImage(client);
    Image4->setGeometry(896, 94, 25, 25);

    CheckBox1 = Check(client, "シャープ処理を行う", 12, 124, 150, true);
    CheckBox2 = Check(client, "シート保存時にフォルダを開く", 166, 124, 200, false);
    CheckBox3 = Check(client, "自動連続処理を行う", 370, 124, 150, false);
    CheckBox4 = Check(client, "選択範囲/回転を保持する", 524, 124, 180, false);
    CheckBox5 = Check(client, "背景色を指定", 708, 124, 120, false);
    CheckBox3->hide();
    CheckBox4->hide();
    CheckBox5->setEnabled(false);
    BitBtn3->setEnabled(false);
    BitBtn10->hide();
    BitBtn11->hide();

    Edit1 = new QLineEdit(client);
    Edit2 = new QLineEdit(client);
    Memo1 = new QPlainTextEdit(client);
    Memo2 = new QPlainTextEdit(client);
    for (QWidget* w : std::initializer_list<QWidget*>{Edit1, Edit2, Memo1, Memo2}) w->hide();

    ScrollBox1 = new QScrollArea(client);
    ScrollBox1->setGeometry(12, kViewTop, kMinWidth - 24, kMinHeight - kViewTop - 65);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    auto* content = new QWidget;
    content->resize(10, 10);
    ScrollBox1->setWidget(content);
    Image1 = new TImage(content);
    Image2 = new TImage(content);
    Image2->SetTransparent(true);
    Image2->hide();
    Image3 = new TImage(content);
    Image3->SetTransparent(true);
    Image3->SetHint(QString::fromUtf8("クリックすると移動出来ます"));
    Image3->SetShowHint(true);
    Image3->hide();
    Memo3 = new QPlainTextEdit(content);
    Memo3->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    // Four panels side by side; LayOutStatusPanels gives them their widths.
    auto* panels = new QWidget(StatusBar1);
    panels->setMinimumSize(0, 20);
    int x = 0;
    for (std::size_t i = 0; i < FPanels.size(); ++i) {
        FPanels[i] = new QLabel(panels);
        FPanels[i]->setGeometry(x, 0, kPanelWidths[i] - 2, 20);
        FPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        x += kPanelWidths[i];
    }
    StatusBar1->addWidget(panels, 1);
    panels->installEventFilter(this);
    setStatusBar(StatusBar1);

    connect(BitBtn14, &QPushButton::clicked, this, [this] { BitBtn14Click(); });
    connect(BitBtn16, &QPushButton::clicked, this, [this] { BitBtn16Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn9, &QPushButton::clicked, this, [this] { BitBtn9Click(); });
    // Every drop goes to the window's one drop handler: a field that took
    // the dragged text would swallow the folder or photo under it.
    for (QWidget* w : findChildren<QWidget*>()) w->setAcceptDrops(false);

    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn10, &QPushButton::clicked, this, [this] { BitBtn10Click(); });
    connect(BitBtn11, &QPushButton::clicked, this, [this] { BitBtn11Click(); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    // Text typed into the box selects no item.
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text != ComboBox1->itemText(ComboBox1->currentIndex())) ComboBox1Change();
    });
    connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Click(); });
    connect(CheckBox4, &QCheckBox::toggled, this, [this] { CheckBox4Click(); });
    connect(CheckBox5, &QCheckBox::toggled, this, [this] { CheckBox5Click(); });
    Image1->OnMouseDown = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                 int y) { Image1MouseDown(b, m, x, y); };
    ConnectRotationControls();
    ConnectHeadLineControls();
    Image3->OnMouseDown = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                 int y) {
        if (FResize->Control() == Image3) FResize->PtMouseDown(FResize, b, m, x, y);
    };
    Image3->OnMouseMove = [this](TImage*, Qt::KeyboardModifiers m, int x, int y) {
        if (FResize->Control() == Image3) FResize->PtMouseMove(FResize, m, x, y);
    };
    Image3->OnMouseUp = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        if (FResize->Control() == Image3) FResize->PtMouseUp(FResize, b, m, x, y);
    };
}

void TForm1::FormCreate() {
    setAcceptDrops(true);
    FStartingUp = true;
    FZoom = 100;
    setWindowTitle(QString::fromUtf8(kTitle));
    FTitle = S(windowTitle());
    resize(kMinWidth, kMinHeight);
    CentreOnScreen(this);
    try {
        ResetWorkingBitmaps();
    } catch (const std::bad_alloc&) {
        FHost.dialogs->ShowMessage(kNoMemoryText, kNoMemoryCaption);
        return;
    }
    FZoom = FPrevZoom = 100;
    FDispNum = Image1->height();
    Image1->move(0, 0);
    Image2->move(0, 0);
    FBusy = false;
    FFileName.clear();
    FPhotoDir = FAppDir;
    SetLayout(DefaultLayout());
    FillLayoutList();
    Memo3->hide();
    FBatchFiles.clear();
}

void TForm1::ResetWorkingBitmaps() {
    for (Bitmap* b : {&FTrimBmp, &FSheetBmp, &FCellBmp, &FTempBmp1, &FCellRotBmp, &FSourceBmp,
                      &FTempBmp2, &FTempBmp3})
        b->SetSize(10, 10, kBlack);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FStartingUp) FormShow();  // the first time only: FormShow ends the start-up
}

void TForm1::FormShow() {
    DetachGrips();
    UpdateFrameLimits();
    SetControlsEnabled(false);
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(true);
    SetCurrentFolder(FAppDir);
    FStartingUp = false;
    setMinimumSize(kMinWidth, kMinHeight);
}

bool TForm1::FormCanResize(int& newWidth, int& newHeight) {
    if (FBusy) return false;
    if (isVisible()) {
        newWidth = std::max(newWidth, kMinWidth);
        newHeight = std::max(newHeight, kMinHeight);
    }
    if (FStartingUp) {
        newWidth = kMinWidth;
        newHeight = kMinHeight;
    }
    ShowMemoryReport();
    return true;
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (FInResize) return;
    FInResize = true;
    int w = event->size().width(), h = event->size().height();
    if (!FormCanResize(w, h)) {
        if (event->oldSize().isValid()) resize(event->oldSize());
    } else {
        if (w != width() || h != height()) resize(w, h);
        FormResize();
    }
    FInResize = false;
}

void TForm1::FormResize() {
    const int cw = width(), ch = height();
    if (cw < kMinWidth || ch < kMinHeight) return;
    BitBtn14->move(cw - 120, BitBtn14->y());
    ScrollBox1->resize(cw - 24, ch - ScrollBox1->y() - 65);
    Image1->move(0, 0);
    if (!FFileName.empty()) OpenPhoto(FFileName, false);
    if (!FStartingUp && FDispDen != 0 && FPrevZoom != 0) {
        PlaceCropFrame(true);
        BitBtn3->setEnabled(true);
    }
}

void TForm1::SetControlsEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{BitBtn2, BitBtn3, BitBtn4, BitBtn5, BitBtn6, BitBtn7,
                                         BitBtn8, BitBtn9, ComboBox1, CheckBox5, SpeedButton1})
        w->setEnabled(enabled);
    if (enabled) BitBtn1->setEnabled(true);
}

void TForm1::ShowMemoryReport() {
    ProcessMemoryInfo info;
    if (QueryProcessMemory(info) && Form2) {
        QStringList lines;
        for (const std::string& line : FormatMemoryReport(info)) lines << Q(line);
        Form2->Memo1->setPlainText(lines.join('\n'));
    }
    if (Form3) Form3->update();
    if (!FInResize) Pump();
}

void TForm1::BitBtn14Click() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The run loop pumps events, so a close arrives in the middle of a press.
    // Accepting it there would hide the window while the run went on to the
    // folder's end, and the program would end only after that; instead the
    // press stops after the photo it is on and closes the window itself.
    if (FRunning) {
        FAbortRequested = true;
        FCloseRequested = true;
        event->ignore();
        return;
    }
    FCloseRequested = false;
    QMainWindow::closeEvent(event);
    // The settings and the preview are windows of their own; the program
    // ends with the main window, so they close with it.
    if (!event->isAccepted()) return;
    if (Form2) Form2->close();
    if (Form3) Form3->close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == FPanels[0]->parentWidget())
        LayOutStatusPanels();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::LayOutStatusPanels() {
    // Panels of 300, 500, 200 and 50 pixels; the last one reaches the right
    // edge. When the bar is narrower than that, the second panel (the path)
    // gives up what is missing, so the last one is never cut off.
    const int barWidth = FPanels[0]->parentWidget()->width();
    std::array<int, 4> widths = kPanelWidths;
    const int fixed = widths[0] + widths[2] + widths[3];
    widths[1] = std::clamp(barWidth - fixed, 0, kPanelWidths[1]);
    widths[3] = std::max(kPanelWidths[3], barWidth - widths[0] - widths[1] - widths[2]);
    int x = 0;
    for (std::size_t i = 0; i < FPanels.size(); ++i) {
        FPanels[i]->setGeometry(x, 0, widths[i] - 2, 20);
        x += widths[i];
    }
}

void TForm1::BitBtn16Click() {
    if (!Form2) return;
    Form2->show();
    Form2->raise();
}

void TForm1::SetStatusText(int panel, const std::string& text) {
    if (panel < 0 || panel >= static_cast<int>(FPanels.size())) return;
    FPanels[panel]->setText(Q(text));
    FPanels[panel]->setToolTip(Q(text));
}

std::string TForm1::StatusText(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(FPanels.size())) return {};
    return S(FPanels[panel]->text());
}

void TForm1::ScrollToOrigin() {
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    ScrollBox1->repaint();
    Pump();
}

void TForm1::Pump() {
    if (FHost.pump) FHost.pump->ProcessEvents();
}
