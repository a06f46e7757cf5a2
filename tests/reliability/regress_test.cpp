// Inputs the fuzzers found, kept as tests: each file under regress/<type>/
// is imported as that source type and must end like any import, with the
// target holding exactly the rows counted as loaded. Run under the sanitizers
// (CI does) they also catch the memory faults and leaks they once showed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "import/session.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx::test {
namespace {

namespace fs = std::filesystem;

struct RegressInput {
    std::string type;  // command-line name of the source type
    fs::path file;
};

void PrintTo(const RegressInput& r, std::ostream* os) {
    *os << r.type << "/" << r.file.filename().string();
}

std::vector<RegressInput> RegressInputs() {
    std::vector<RegressInput> inputs;
    const fs::path root = fs::path(TVX_TEST_DATA_DIR) / "regress";
    if (!fs::is_directory(root)) return inputs;
    for (const auto& type : fs::directory_iterator(root)) {
        if (!type.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(type.path()))
            inputs.push_back({type.path().filename().string(), file.path()});
    }
    return inputs;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class Regress : public testing::TestWithParam<RegressInput> {};

TEST_P(Regress, ImportsLikeAnyFile) {
    const RegressInput& input = GetParam();
    const int type = SourceTypeFromName(SourceTypes(), input.type);
    ASSERT_GE(type, 0) << input.type;
    ImportFixture f;
    const std::string source =
        f.writeSource("source" + input.file.extension().string(), ReadFile(input.file));
    ASSERT_TRUE(f.run(type, source));
    const Counters c = f.session->counters();
    EXPECT_EQ(static_cast<int>(f.rows().size()), c.recordsLoaded);
    EXPECT_LE(c.recordsLoaded + c.recordsIgnored, c.recordsRead);
}

INSTANTIATE_TEST_SUITE_P(Found, Regress, testing::ValuesIn(RegressInputs()));

TEST(Regress, InputsAreThere) {
    EXPECT_FALSE(RegressInputs().empty());
}

}  // namespace
}  // namespace tvx::test
