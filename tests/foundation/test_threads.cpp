#include <gtest/gtest.h>
#include "ithreads.h"
TEST(Placeholder, Builds) { IWaitCondition w; EXPECT_TRUE(w.wakeOne()); EXPECT_TRUE(w.wait(0)); }
