#pragma once
// The settings dialog: every option of the program, read directly by the
// operations when they run. Nothing is saved; every start uses the defaults.
#include <QWidget>

#include "platform/host.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class TForm1;

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    TForm2(TForm1* main, Host host, QWidget* parent = nullptr);

    void FormShow();
    void BitBtn1Click();
    void BitBtn11Click();
    void CheckBox4Click();

    QCheckBox *CheckBox16, *CheckBox4, *CheckBox9, *CheckBox7, *CheckBox11, *CheckBox12,
        *CheckBox14, *CheckBox3, *CheckBox15, *CheckBox1, *CheckBox2, *CheckBox5, *CheckBox8,
        *CheckBox10, *CheckBox6, *CheckBox17;
    QSlider *TrackBar4, *TrackBar3, *TrackBar1, *TrackBar2, *TrackBar6;
    QLabel *Label17, *Label4, *Label21, *Label1, *Label9, *Label23;
    QPlainTextEdit* Memo1;
    QPushButton *BitBtn1, *BitBtn11;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QSlider* AddSlider(QWidget* box, int y, const char* caption, QLabel*& label, int min, int max,
                       int value, int page, int tick, std::initializer_list<const char*> scale);

    TForm1* FMain;
    Host FHost;
};
