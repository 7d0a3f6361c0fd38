// A real portrait framed from its known head position becomes a print sheet:
// written at the layout's size and print resolution, with the trimmed photo.
#include <QLineEdit>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "app/timage.h"
#include "gui/form_fixture.h"
#include "platform/jpeg.h"
#include "platform/paths.h"

namespace {

struct Head {
    int centreX = 0, top = 0, chin = 0;  // photo pixels
};

// The head of `file` from truth.csv: face box centre, head top and chin.
bool ReadHead(const std::string& folder, const std::string& file, Head& head) {
    std::ifstream csv(folder + "/truth.csv");
    std::string line;
    while (std::getline(csv, line)) {
        if (line.rfind(file + ",", 0) != 0) continue;
        std::vector<int> v;
        std::stringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        for (int i = 0; i < 9 && std::getline(fields, field, ','); ++i)
            v.push_back(std::stoi(field));
        if (v.size() < 9) return false;
        head = {(v[2] + v[4]) / 2, v[8], v[7]};
        return true;
    }
    return false;
}

TEST_F(FormTest, RealPortraitBecomesAPrintSheet) {
    const std::string folder = PortraitsFolder();
    if (folder.empty())
        GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are not here";
    const std::string file = "unsplash_portrait_3000x4495.jpg";
    Head head;
    ASSERT_TRUE(ReadHead(folder, file, head));
    SetRecognitionOnLoad(false);
    form1->show();
    TempFolder out;
    form1->Edit3->setText(QString::fromStdString(out.Dir()));
    host.dialogs.fileAnswers = {{folder + "/" + file}};
    form1->BitBtn2Click();
    ASSERT_EQ(form1->FTempBmp2.Height(), 3000);

    // The built-in 30 x 40 mm photo: crown 4 mm below the top, chin 9 mm above
    // the bottom. Photo pixels -> working pixels (reduced to 3000 high, centred
    // in the square) -> view pixels.
    const double toWork = 3000.0 / 4495.0;
    const int offsetX = (3000 - form1->FTempBmp2.Width()) / 2;
    const double headH = (head.chin - head.top) * toWork;
    const double frameH = headH * 40 / 27, frameW = frameH * 378 / 496;
    const double top = head.top * toWork - frameH * 4 / 40;
    const double left = offsetX + head.centreX * toWork - frameW / 2;
    const double toView = double(form1->FDispNum) / form1->FDispDen;
    form1->Image3->setGeometry(int(left * toView), int(top * toView), int(frameW * toView),
                               int(frameH * toView));
    form1->BitBtn3Click();

    Bitmap sheet, trimmed;
    ASSERT_EQ(DecodeJpegFile(out.Dir() + file, sheet), 0) << form1->StatusText(0);
    EXPECT_EQ(sheet.Width(), 1051);
    EXPECT_EQ(sheet.Height(), 1500);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(out.Dir() + file, bytes));
    EXPECT_EQ(bytes.substr(13, 5), std::string("\x01\x01\x2C\x01\x2C", 5));  // 300 dpi
    ASSERT_EQ(DecodeJpegFile(out.Dir() + "トリミング画像/" + file, trimmed), 0);
    EXPECT_EQ(trimmed.Width(), 378);
    EXPECT_EQ(trimmed.Height(), 496);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    // The frame was larger than the place: no enlargement question came.
    EXPECT_GE(form1->FTrimBmp.Width(), 378);
}

}  // namespace
