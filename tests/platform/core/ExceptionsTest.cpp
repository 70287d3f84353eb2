#include "Exceptions.h"

#include <gtest/gtest.h>

TEST(Exceptions, SilentAbortIsAnExceptionWithItsOwnClass) {
    try {
        Abort();
        FAIL() << "Abort returned";
    } catch (const EAbort& e) {
        EXPECT_FALSE(e.Message.empty());
    }
    EXPECT_THROW(throw EFOpenError("Cannot open file \"x\""), EStreamError);
    EXPECT_STREQ(EDatabaseError("Table not found: X").what(), "Table not found: X");
}
