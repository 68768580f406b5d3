#include <QCoreApplication>

#include <gtest/gtest.h>

// Tests of code that delivers on the application's thread need an application and its loop.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
