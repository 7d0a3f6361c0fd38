// The window tests need one application object for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/memory.h"

int main(int argc, char** argv) {
    // As the program does at start-up: the folder runs measure its memory.
    KeepPictureMemoryForReuse();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
