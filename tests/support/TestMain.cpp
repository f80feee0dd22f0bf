#include "support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main(int argc, char** argv)
{
    TestEnvironment::enter(argv[0]); // before JUCE reads HOME or TMPDIR
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        const juce::ScopedJuceInitialiser_GUI juce;
        result = RUN_ALL_TESTS();
    }
    TestEnvironment::leave();
    return result;
}
