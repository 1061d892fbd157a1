// The one test that sits through the 10000 ms reply limit of a querying
// getter, and the kept wake of the reply that comes after it.
#include <gtest/gtest.h>

#include "ithreads.h"
#include "positioner_test_util.h"
#include "test_support.h"

namespace {

TEST(QueryTimeout, LateReplyTimesOutThenAnswersTheNextGetterAtOnce) {
    REQUIRE_PRIVATE_NETWORK();
    postest::SimSession s;
    ASSERT_TRUE(s.ok());
    s.sim().setRegister(1025, 1, 777);
    // Replies come 10800 ms after their request.
    s.sim().setFault(sim::Controller::Fault::Late, true, 10800);

    int32_t frequency = -5, result = -99;
    const long long waited =
        test_support::elapsedMs([&] { result = PositionerGetFrequency(s.handle(), 1, &frequency); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_EQ(frequency, -5) << "the output is left alone";
    EXPECT_GE(waited, 9950);
    EXPECT_LT(waited, 10700);

    // The late reply is stored and its wake kept: the next getter returns
    // it before its own (late) reply could come.
    IThread::sleep(1000);
    const long long second =
        test_support::elapsedMs([&] { result = PositionerGetFrequency(s.handle(), 1, &frequency); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(frequency, 777);
    EXPECT_LT(second, 300);
    s.sim().setFault(sim::Controller::Fault::Late, false);
}

}  // namespace
