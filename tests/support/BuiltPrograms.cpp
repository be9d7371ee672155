#include "tests/support/BuiltPrograms.h"

namespace testsupport {

std::filesystem::path BinDir()
{
    return QV_SUPPORT_BIN_DIR;
}

std::filesystem::path Cedevice()
{
    return BinDir() / "cedevice";
}

std::filesystem::path Cli()
{
    return BinDir() / "quorvane-cli";
}

} // namespace testsupport
