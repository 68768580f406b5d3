// Built with empty name, version and build: what a build without them shows.
#include "base/identity.h"

#include <gtest/gtest.h>

TEST(Identity, EmptyValuesFallBack)
{
    EXPECT_EQ(korvane::appName(), QLatin1String("Unknown App"));
    EXPECT_EQ(korvane::appVersion(), QLatin1String("N/A"));
    EXPECT_EQ(korvane::appBuild(), QLatin1String("N/A"));
}
