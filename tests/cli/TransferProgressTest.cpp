// The progress line of a copy: sizes, rate and time left as a person reads
// them.
#include "cli/TransferProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(CliTransferProgress, SizesRateAndTimeLeft)
{
    EXPECT_EQ(cli::ByteText(999).toStdString(), "999 bytes");
    EXPECT_EQ(cli::ByteText(12345).toStdString(), "12.3 kB");
    EXPECT_EQ(cli::ByteText(27000000).toStdString(), "27.0 MB");
    EXPECT_EQ(cli::ByteText(1500000000).toStdString(), "1.5 GB");
    // 10 MB of 30 MB in 5 s: 2 MB/s, 10 s to go.
    EXPECT_EQ(cli::ProgressText(QStringLiteral("a.sdf"), 10000000, 30000000, 5000).toStdString(),
        "a.sdf  33%  10.0 MB of 30.0 MB  2.0 MB/s  00:10 left");
    EXPECT_EQ(cli::ProgressText(QStringLiteral("big"), 1000000, 8000000000, 1000).toStdString(),
        "big  0%  1.0 MB of 8.0 GB  1.0 MB/s  02:13:19 left");
    // From a pipe the total is unknown.
    EXPECT_EQ(cli::ProgressText(QStringLiteral("-"), 2000000, -1, 2000).toStdString(), "-  2.0 MB  1.0 MB/s");
}

} // namespace
