// The task file reader on any bytes: what it accepts writes back to a file that reads as the same task.
#include "FuzzSupport.h"
#include "JobFile.h"

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    JobData job;
    std::string problem;
    if (!ReadJob(std::string_view(reinterpret_cast<const char*>(data), size), job, problem)) {
        BRIO_FUZZ_CHECK(!problem.empty());
        return 0;
    }
    JobData again;
    BRIO_FUZZ_CHECK(ReadJob(WriteJob(job), again, problem));
    BRIO_FUZZ_CHECK(again == job);
    return 0;
}
