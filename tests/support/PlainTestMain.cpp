#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    TestEnvironment::enter(argv[0]);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    TestEnvironment::leave();
    return result;
}
