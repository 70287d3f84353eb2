// Tests that compare against reference data kept in the shared folder beside the project. Where
// the data are missing such a test is skipped on a developer's machine, but fails when CI is set,
// so that a build machine without the data never passes those tests unseen.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

/// Ends the test for missing shared data `what`: a failure under CI, otherwise a skip.
#define VETRA_SHARED_DATA_MISSING(what)                                                   \
    do {                                                                                  \
        if (std::getenv("CI")) FAIL() << (what) << " missing from " << VETRA_SHARED_DIR; \
        GTEST_SKIP() << (what) << " not on this machine";                                \
    } while (0)
