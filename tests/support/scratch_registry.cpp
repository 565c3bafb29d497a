#include "scratch_registry.h"

#ifndef _WIN32
#include "memory_registry.h"
#endif

#include <stdexcept>

namespace test_support {

namespace {
void FailAndStop(const char* file, int line, const std::string& what) {
    GTEST_MESSAGE_AT_(file, line, ("setup failed: " + what).c_str(),
                      ::testing::TestPartResult::kFatalFailure);
    throw std::runtime_error("setup failed; the test stopped there");
}
} // namespace

void FailSetupInGoogleTest() {
    SetSetupFailureHandler(FailAndStop);
}

void ScratchRegistry::SetUp() {
    FailSetupInGoogleTest();
#ifndef _WIN32
    registry_test::Reset();
#endif
    WipeKey(kProductKey);
}

void ScratchRegistry::TearDown() {
    WipeKey(kProductKey);
#ifndef _WIN32
    EXPECT_EQ(0, registry_test::OpenHandleCount()) << "a key was left open";
    registry_test::Reset();
#endif
}

} // namespace test_support
