// The main of every GoogleTest program: the tests run with a home folder of their own.

#include <gtest/gtest.h>

#include "support/isolatedhome.h"

int main(int argc, char** argv)
{
    const mellowby::tests::IsolatedHome home;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
