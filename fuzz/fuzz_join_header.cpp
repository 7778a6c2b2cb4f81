// Reads the input as one file of the join list and describes it as the join window does.
// A refusal must be one of the join's own errors and leave the record as it was; a header that
// is accepted must point at sample data that really lies inside the file.
#include "fuzz_input_file.h"

#include "common/app_error.h"
#include "join/join_engine.h"
#include "join/join_errors.h"

#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isJoinError(int number)
{
    return number == join_error::kOverflow || number == join_error::kDivisionByZero ||
           number == join_error::kPastEnd || number == join_error::kFileAccess ||
           number == join_error::kBadFormat;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    JoinFileInfo record;
    record.fileName = fuzzInputFile(data, size);
    record.sampleRate = 12345;
    try {
        ReadWaveHeader(record);
    } catch (const AppError &error) {
        require(isJoinError(error.number()));
        require(record.sampleRate == 12345 && record.dataSize == 0);
        return 0;
    }
    require(record.blockAlign > 0 && record.channels > 0 && record.dataSize >= 0);
    require(record.dataOffset >= 12);
    require(static_cast<std::uint64_t>(record.dataOffset) + record.copyBytes() <= size);
    require(record.copyBytes() <= record.dataSize);
    require(!DescribeJoinFile(record).isEmpty());
    return 0;
}
