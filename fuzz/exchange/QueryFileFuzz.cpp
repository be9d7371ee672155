// Any bytes as a query file: the reader must end without fault, and a
// request it accepts must survive the desktop's writer and the reader again.

#include "exchange/QueryFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace exchange;
    QueryRequest first;
    if (ReadQueryFile(std::span<const std::uint8_t>(data, size), first) != QueryFileResult::Ok)
        return 0;
    // A read request holds no codes any more, so writing and reading it back
    // must give it unchanged whenever the writer accepts it.
    std::string bytes;
    if (BuildQueryFile(first.databasePath, first.password, first.requestText, bytes) != QueryFileBuild::Ok)
        return 0;
    QueryRequest second;
    if (ReadQueryFile(bytes, second) != QueryFileResult::Ok || !(second == first))
        std::abort();
    return 0;
}
