#include <fenv.h>
#include <gtest/gtest.h>

// Floating-point traps: a NaN, a division by zero or an overflow fails where it is made.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return RUN_ALL_TESTS();
}
