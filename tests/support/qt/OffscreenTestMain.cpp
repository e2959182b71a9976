// The main() of the Qt test programs: every test runs inside one QApplication.
#include <QApplication>
#include <gtest/gtest.h>

#include "tests/support/qt/Offscreen.h"

int main(int argc, char** argv) {
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
