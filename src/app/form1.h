#pragma once
// The main window: owns the photo, the layout, the batch position and every
// action control. Handlers live in form1_*.cpp, one file per subsystem; the
// work itself is done by the core libraries.
#include <QMainWindow>
#include <QPoint>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detect/auto_frame.h"
#include "imaging/photo.h"
#include "imaging/view.h"
#include "layout/layout.h"
#include "platform/bitmap.h"
#include "platform/host.h"
#include "sheet/compose.h"

class BusyGuard;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStatusBar;
class TForm2;
class TForm3;
class TImage;
class TResizeControl;

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // `appDir` is the program folder with its trailing separator.
    TForm1(const std::string& appDir, Host host, QWidget* parent = nullptr);
    ~TForm1() override;
    // The settings dialog and the preview window, created right after this one.
    void AttachWindows(TForm2* settings, TForm3* preview);

    // Start-up and window (form1.cpp)
    void FormShow();
    bool FormCanResize(int& newWidth, int& newHeight);
    void FormResize();
    void SetControlsEnabled(bool enabled);
    void ShowMemoryReport();
    void BitBtn14Click();
    void BitBtn16Click();
    void SetStatusText(int panel, const std::string& text);
    std::string StatusText(int panel) const;

    // Layouts (form1_layout.cpp)
    void FillLayoutList();
    void ComboBox2Click();
    std::string ChooseLayoutFile();
    void LoadLayoutByDialog();
    bool LoadLayout(const std::string& path);
    TLayout CurrentLayout() const;
    void SetLayout(const TLayout& layout);
    void UpdateFrameLimits();

    // Photos (form1_photo.cpp)
    void BitBtn1Click();
    void BitBtn2Click();
    void HandleDroppedFiles(const std::vector<std::string>& paths, std::optional<QPoint> dropPoint);
    void ResetWorkspace();
    int LoadPhoto(const std::string& fileName);
    int OpenPhoto(const std::string& fileName, bool newFrame);
    int ShowImage(const Bitmap& image);
    void ComboBox1Change();

    // Crop frame (form1_frame.cpp)
    // False when the frame's picture could not be made (the message is shown).
    bool PlaceCropFrame(bool newFrame);
    // False (after the out-of-memory message) when the picture cannot be made.
    bool DrawFrameOverlay(bool zoomVariant = false);
    void ArmGrips();
    CropFrameLimits FrameLimitsInView() const;
    void DetachGrips();
    void CheckBox4Click();

    // Automatic framing (form1_detect.cpp)
    void BitBtn9Click();
    // The framing code of the pass (0 when it framed); remembered for the sheet step.
    int AutoFrameWithRetry();
    int AutoFrame();
    AutoFrameOptions AutoFrameOptionsFromControls() const;
    bool Unattended() const;
    void CheckBox5Click();
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // Rotation (form1_rotate.cpp)
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void BitBtn8Click();
    void RotateWorkImage(int angle);

    // Head line tool (form1_headline.cpp)
    void SpeedButton1Click();
    void Image2MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image2MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Image2MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void BeginHeadLine(int x, int y);
    void TrackHeadLine(int x, int y);
    void FinishHeadLine(int x, int y);
    // Sheets (form1_sheet.cpp)
    void BitBtn3Click();
    int CreateSheetStep();
    int ComposeSheet();
    SheetOptions ReadSheetOptions() const;
    ViewFrame FrameInView() const;
    void ShowSheetPreview();
    void ShowPreviewWindow();

    // Folder runs (form1_folder.cpp)
    void BitBtn10Click();
    void BitBtn11Click();

    // Controls, by their designer names.
    QPushButton *BitBtn1, *BitBtn2, *BitBtn9, *BitBtn3, *BitBtn16, *BitBtn10, *BitBtn11, *BitBtn14;
    QPushButton* SpeedButton1;
    QPushButton *BitBtn4, *BitBtn6, *BitBtn7, *BitBtn5, *BitBtn8;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox *ComboBox1, *ComboBox2;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;
    QPlainTextEdit *Memo1, *Memo2, *Memo3;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5;
    QScrollArea* ScrollBox1;
    TImage *Image1, *Image2, *Image3, *Image4;
    QStatusBar* StatusBar1;
    TResizeControl* FResize = nullptr;

    // State.
    std::string FPhotoDir;
    std::string FAppDir;
    std::string FTitle;
    int FZoom = 100, FPrevZoom = 100;
    int FDispNum = 0, FDispDen = 0;
    int FRotation = 0;
    bool FBusy = false;
    // A sheet or skip press is under way: the busy flag is let go around each
    // framing inside it, so this one refuses the other commands meanwhile.
    bool FRunning = false;
    bool FStartingUp = true;
    std::vector<std::string> FBatchFiles;
    bool FBatchMode = false;
    int FBatchIndex = 0;
    int FSaveFailures = 0;  // sheets of the current press that could not be saved
    // The photo's automatic framing failed and no hand has set the frame since:
    // an automatic run makes no sheet of it.
    bool FFramingFailed = false;
    // The frame the last automatic framing placed, in the square's pixels,
    // while it is untouched: the sheet is cut from it rather than from its
    // outline on the screen, rounded to the view's scale.
    std::optional<PixelRect> FFramedCut;
    int FFrameBaseW = 0, FFrameBaseH = 0, FFrameMaxW = 0, FFrameMaxH = 0, FFrameW = 0, FFrameH = 0;
    int FHaarTop = 0, FHaarBottom = 0;
    TPaperInfo FPaper;
    std::array<TPhotoSlot, kMaxPhotoSlots> FSlots{};
    PixelRect FFrameRect;
    bool FAbortRequested = false;
    // The window was closed while a press was under way: the press stops as
    // an abort would and closes the window when it has let go.
    bool FCloseRequested = false;
    bool FPickingBackColour = false;
    bool FFrameDragging = false;
    int FHeadTurn = 0;
    int FLineStartX = 0, FLineStartY = 0;
    int FSubfolderCount = 0, FFileCount = 0, FJpegCount = 0;
    std::string FErrorText;

    // Working images: the photo as loaded (FTempBmp2), its working copy
    // (FTrimBmp) and the square (FSourceBmp) live together for the loader.
    WorkingImages FWork;
    std::string& FFileName = FWork.fileName;
    Bitmap& FTrimBmp = FWork.trim;
    Bitmap& FTempBmp2 = FWork.temp2;
    Bitmap& FSourceBmp = FWork.source;
    // The sheet shared by the persons on it, its next place and the scratch
    // pictures of one place.
    SheetState FSheet;
    Bitmap& FSheetBmp = FSheet.sheet;
    int& FSheetSlot = FSheet.slot;
    Bitmap& FCellBmp = FSheet.cell;
    Bitmap& FCellRotBmp = FSheet.cellRot;
    Bitmap FBackBmp, FTempBmp1, FTempBmp3;

    // The face library of a framing pass; empty = the program folder's.
    std::function<std::unique_ptr<IFaceLibrary>()> FFaceLibraryFactory;
    FramingResult FLastFraming;  // the last pass's values, for the tests and the bench

    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    Host FHost;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void BuildControls();
    // Opens one photo on a fresh workspace, `note` in the first status panel.
    void OpenOnePhoto(const std::string& path, const std::string& note);
    void OpenAndRecognise(BusyGuard& busy, const std::string& path, bool newFrame);
    void StartBatch(const std::string& folder);
    void ShowBatchControls(bool visible);
    bool SheetExists(const std::string& photo) const;
    void ResetWorkingBitmaps();
    void ScrollToOrigin();
    void LayOutStatusPanels();
    void Pump();
    int PlaceAutoFrame(const FramingResult& r);
    void DrawAutoFrameOverlay(Bitmap& picture, const FramingResult& r, int vleft, int vtop);
    void MarkHeadTopSamples(const FramingResult& r);
    void ReportFramingFailure(int code);
    void ConnectRotationControls();
    void ConnectHeadLineControls();
    void ClearHeadLine();
    // Sets FRotation (kept within one turn), rebuilds the square and shows the
    // angle; false (nothing done) while another operation runs.
    bool TurnPhotoTo(int tenths);
    void LoadSheetBackground();
    void ComposeCurrentPhoto();
    bool AutomaticRun() const;
    bool SkipFinishedSheets() const;
    int BatchCount() const;
    void RunFolder();
    void MoveToNextPhoto();
    void SkipFinished();
    // Opens the photo at FBatchIndex, passing over unreadable ones, and frames
    // it when asked; false when no photo remains.
    bool OpenFolderPhoto();
    void FinishFolder();
    void CloseAfterPress(BusyGuard& run, BusyGuard& busy);
    void ShowRunProgress();
    void LogFolderFailure(const std::string& path);
    void WriteLogSeparator();
    void ResetRotationField();

    std::array<QLabel*, 4> FPanels{};
    std::vector<std::string> FLayoutPaths;  // the layout list's files, item 1 on
    bool FInResize = false;

    bool eventFilter(QObject* watched, QEvent* event) override;
};
