// `cmake --install` puts a binary that runs in the prefix's bin directory.

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

TEST(InstallTest, InstalledBinaryRunsFromThePrefix) {
    test::TempDir prefix;
    const test::RunResult install = test::runProgram(
        {FACELOOM_CMAKE, "--install", FACELOOM_BUILD_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    const test::RunResult r = test::runProgram({prefix.file("bin/Faceloom"), "--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Faceloom " FACELOOM_VERSION "\n");
}

}  // namespace
