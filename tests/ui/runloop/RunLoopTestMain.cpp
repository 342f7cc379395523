// Test main for the Qt run loop: one QCoreApplication for the whole binary
// (the loop needs Qt's event loop, nothing of the GUI).
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
