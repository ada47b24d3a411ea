#include <gtest/gtest.h>

#include <QApplication>

// The widgets need their application before any test makes one.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
