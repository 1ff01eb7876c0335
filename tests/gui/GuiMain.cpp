// One QApplication for every GUI test, on the offscreen platform unless another one is chosen.
#include "MsgBox.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    brio::MsgBox::setScripted(true); // no test ever waits on a box
    return RUN_ALL_TESTS();
}
