#include "support/test_support.h"

#include <gtest/gtest.h>

TEST(Smoke, Starts) {
  CommentatorFixture fixture;
  EXPECT_TRUE(fixture.Main().isVisible());
}
