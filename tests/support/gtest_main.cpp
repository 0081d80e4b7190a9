// The GoogleTest entry point of the project's test programs. It takes the locale from
// the environment, as the programs' window toolkit does, so that the runs under comma
// locales show that numbers are still written and read with a full stop.
#include <clocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
