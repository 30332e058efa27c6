#pragma once

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Looks for leaks once the tests are done, before the exit handlers run. At
// exit GLUT closes the X display and the GL driver is unloaded with it; the
// driver's state would then show as leaked, with stacks that cannot be named.
class LeakCheckBeforeExit : public ::testing::Environment {
public:
    void TearDown() override {
#if defined(__SANITIZE_ADDRESS__)
        __lsan_do_leak_check();
#endif
    }
};

inline ::testing::Environment* const kLeakCheckBeforeExit =
    ::testing::AddGlobalTestEnvironment(new LeakCheckBeforeExit);
