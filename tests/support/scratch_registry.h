// The GoogleTest side of the registry test-support layer: a fixture that wipes the product's
// tree before and after each test, and setup failures that fail and stop the test.
#pragma once

#include "registry_test_support.h"

#include <gtest/gtest.h>

namespace test_support {

// Makes a failing setup helper fail the running test at the caller's file and line and stop
// it (by an exception that GoogleTest catches).
void FailSetupInGoogleTest();

// Wipes the product's tree before and after each test; natively also checks that every key
// the code under test opened was closed.
class ScratchRegistry : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace test_support
