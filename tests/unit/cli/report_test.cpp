#include "cli/report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/temp_folder.h"

namespace {

PhotoResult Framed() {
    PhotoResult r;
    r.file = "in/a.jpg";
    r.status = PhotoStatus::Ok;
    r.face = PixelRect{10, 20, 110, 140};
    r.frame = PixelRect{-5, 0, 125, 170};
    r.chinY = 150;
    r.headTopY = 8;
    r.sheet = "out/a.jpg";
    r.trimmed = "out/トリミング画像/a.jpg";
    r.ms = {{"load", 12}, {"frame", 80}, {"total", 95}};
    return r;
}

PhotoResult NoFace() {
    PhotoResult r;
    r.file = "in/\"odd\",name.jpg";
    r.status = PhotoStatus::Failed;
    r.code = -10;
    r.message = "自動顔認識処理では認識出来ませんでした。";
    r.ms = {{"load", 3}, {"frame", 40}, {"total", 44}};
    return r;
}

PhotoResult Unreadable() {
    PhotoResult r;
    r.file = "in/broken.jpg";
    r.code = -2;
    r.message = "line one\nline\ttwo \x01";
    r.rotation = 900;
    r.ms = {{"load", 1}, {"total", 1}};
    return r;
}

TEST(JsonReport, ExactlyTheKeysWithNullsForTheUnknown) {
    std::ostringstream out;
    WriteJsonReport(out, {Framed(), NoFace()});
    EXPECT_EQ(out.str(),
              "[\n"
              "  {\"file\": \"in/a.jpg\", \"status\": \"ok\", \"code\": 0, \"message\": \"\", "
              "\"face\": [10, 20, 110, 140], \"frame\": [-5, 0, 125, 170], \"chin_y\": 150, "
              "\"head_top_y\": 8, \"rotation\": 0, \"sheet\": \"out/a.jpg\", "
              "\"trimmed\": \"out/トリミング画像/a.jpg\", "
              "\"ms\": {\"load\": 12, \"frame\": 80, \"total\": 95}},\n"
              "  {\"file\": \"in/\\\"odd\\\",name.jpg\", \"status\": \"failed\", \"code\": -10, "
              "\"message\": \"自動顔認識処理では認識出来ませんでした。\", \"face\": null, "
              "\"frame\": null, \"chin_y\": null, \"head_top_y\": null, \"rotation\": 0, "
              "\"sheet\": null, \"trimmed\": null, "
              "\"ms\": {\"load\": 3, \"frame\": 40, \"total\": 44}}\n"
              "]\n");
}

TEST(JsonReport, ControlCharactersEscapedEmptyRunIsAnEmptyArray) {
    EXPECT_EQ(JsonQuote("line one\nline\ttwo \x01\\"), "\"line one\\nline\\ttwo \\u0001\\\\\"");
    std::ostringstream out;
    WriteJsonReport(out, {});
    EXPECT_EQ(out.str(), "[]\n");
}

TEST(CsvReport, RectanglesAsFourColumnsUnknownEmptyFieldsQuoted) {
    std::ostringstream out;
    WriteCsvReport(out, {Framed(), NoFace(), Unreadable()});
    std::istringstream lines(out.str());
    std::string header, ok, failed, broken;
    std::getline(lines, header);
    std::getline(lines, ok);
    std::getline(lines, failed);
    EXPECT_EQ(header,
              "file,status,code,message,face_left,face_top,face_right,face_bottom,frame_left,"
              "frame_top,frame_right,frame_bottom,chin_y,head_top_y,rotation,sheet,trimmed,"
              "ms_load,ms_frame,ms_total\r");
    EXPECT_EQ(ok,
              "in/a.jpg,ok,0,,10,20,110,140,-5,0,125,170,150,8,0,out/a.jpg,"
              "out/トリミング画像/a.jpg,12,80,95\r");
    EXPECT_EQ(failed,
              "\"in/\"\"odd\"\",name.jpg\",failed,-10,自動顔認識処理では認識出来ませんでした。"
              ",,,,,,,,,,,0,,,3,40,44\r");
    // A message with a line break stays one quoted field; a stage it lacks is empty.
    EXPECT_NE(out.str().find(
                  "in/broken.jpg,failed,-2,\"line one\nline\ttwo \x01\",,,,,,,,,,,900,,,1,,1\r\n"),
              std::string::npos);
}

TEST(CsvReport, StageColumnsFromEveryPhotoNotOnlyTheFirst) {
    std::ostringstream out;
    WriteCsvReport(out, {Unreadable(), Framed()});
    const std::string text = out.str();
    EXPECT_NE(text.find(",ms_load,ms_total,ms_frame\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",12,95,80\r\n"), std::string::npos) << text;
}

TEST(SavedReport, WrittenWholeUnderItsNameNothingLeftBeside) {
    TempFolder t;
    std::string error;
    ASSERT_TRUE(SaveReport(t.Dir() + "r.json", false, {Framed()}, error)) << error;
    std::ifstream in(t.Path() / "r.json");
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str().rfind("[\n  {\"file\": \"in/a.jpg\"", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(t.Path() / "r.json.part"));
    EXPECT_FALSE(SaveReport(t.Dir() + "no/such/folder/r.csv", true, {Framed()}, error));
    EXPECT_NE(error.find("r.csv"), std::string::npos);
}

TEST(ResultRecord, EveryFieldSurvivesTheTripBetweenProcesses) {
    for (const PhotoResult& r : {Framed(), NoFace(), Unreadable(), PhotoResult{}}) {
        const auto back = DecodeResult(EncodeResult(r));
        ASSERT_TRUE(back.has_value()) << r.file;
        EXPECT_EQ(*back, r) << r.file;
    }
}

TEST(ResultRecord, DamagedRecordsAreRefusedNotMisread) {
    const std::string record = EncodeResult(Framed());
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, record.size() / 2, record.size() - 1})
        EXPECT_FALSE(DecodeResult(record.substr(0, cut)).has_value()) << cut;
    EXPECT_FALSE(DecodeResult(record + "x").has_value());
}

}  // namespace
