#pragma once
// The recognition error log and the training list: CP932 text files with
// CR LF line ends, appended to. Paths are absolute; the current folder is
// never used or changed.
#include <ctime>
#include <string>

#include "platform/bitmap.h"

extern const char* const kRecognitionLogName;  // "自動認識エラーログ.txt"
extern const char* const kPositiveListName;    // "positive.txt"

// "2026/12/08 6:04:38": the short date and a 24-hour time with seconds.
std::string RecognitionTimestamp(const std::tm& local);
std::string RecognitionTimestampNow();

// Writes `text` (UTF-8) and CR LF to folder + kRecognitionLogName, creating
// the folder with its parents. truncate: start the file anew. 0 when done or
// when the file does not open; -2 when the folder cannot be created.
int AppendRecognitionLog(const std::string& folder, const std::string& text, bool truncate = false);
// The log line of a failed pass: timestamp + marker + photo path.
std::string RecognitionLogLine(const std::string& timestamp, const std::string& marker,
                               const std::string& photoPath);

// The line that opens a run in the log, so that each run's failures can be
// told apart: "--------------------------------( " + timestamp + " )" and the rule again.
std::string RecognitionLogSeparator(const std::string& timestamp);
// Appends the separator, stamped now, to the log in `folder` when that log
// exists: a run without failures leaves no log behind. True when written.
bool MarkRunInRecognitionLog(const std::string& folder);

// The training line for a face image of width x height named `fileName`.
std::string PositiveLine(const std::string& fileName, int width, int height);

// Saves `face` as folder + FileNameOf(photoPath) (JPEG at `quality`, density
// `dpi`), creating the folder, then appends its training line to the
// folder's positive.txt (silently passed over when that fails). 0, or -12
// when the image cannot be written or would replace the photo itself.
int SaveRecognisedFace(const Bitmap& face, const std::string& folder, const std::string& photoPath,
                       int quality, int dpi, std::string* writtenPath = nullptr);
