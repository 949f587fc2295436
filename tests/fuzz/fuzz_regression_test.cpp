// The fuzz targets replayed over their seed corpus (corpus/<target>/) and over every input a
// fuzzing run has found (regressions/<target>/), as an ordinary test: whatever a run finds
// stays found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz_support.h"

void fuzzFailure(const char* target, const std::string& what)
{
    ADD_FAILURE() << target << ": " << what;
}

namespace {

struct Target {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

const Target kTargets[] = {
    {"archive_lookup", fuzzArchiveLookup},
    {"payload_stream", fuzzPayloadStream},
    {"archive_listing", fuzzArchiveListing},
};

void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.name;
}

std::vector<std::filesystem::path> casesOf(const std::string& target)
{
    std::vector<std::filesystem::path> cases;
    for (const char* kind : {"corpus", "regressions"}) {
        std::filesystem::path folder = std::filesystem::path(FUZZ_CASES_FOLDER) / kind / target;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                cases.push_back(entry.path());
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

class FuzzCases : public ::testing::TestWithParam<Target> {};

}  // namespace

TEST_P(FuzzCases, EveryCaseKeepsTheTargetsExpectations)
{
    const Target& target = GetParam();
    std::vector<std::filesystem::path> cases = casesOf(target.name);
    EXPECT_FALSE(cases.empty()) << "no seed corpus for " << target.name;
    for (const std::filesystem::path& path : cases) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCases, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });
