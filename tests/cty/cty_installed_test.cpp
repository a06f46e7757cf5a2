// The reference database built from the country files that the system has
// installed: keys, and real calls of many countries resolved through it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "db/cty_refdata.h"
#include "db/reference.h"
#include "resolve/resolve.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

const char* const kInstalledCty = "/usr/share/hamradio-files/cty.csv";
const char* const kInstalledCalls = "/usr/share/hamradio-files/MASTER.SCP";

class InstalledCtyTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::filesystem::exists(kInstalledCty)) return;
        dir_ = new test::TempDir;
        path_ = dir_->file("refdata.sqlite");
        summary_ = new CtyBuildSummary(BuildReferenceFromCty(kInstalledCty, path_));
        ref_ = new ReferenceData(ReferenceData::LoadFile(path_));
    }
    static void TearDownTestSuite() {
        delete ref_;
        delete summary_;
        delete dir_;
        ref_ = nullptr;
        summary_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!ref_) GTEST_SKIP() << kInstalledCty << " is not installed";
    }

    static test::TempDir* dir_;
    static std::string path_;
    static CtyBuildSummary* summary_;
    static ReferenceData* ref_;
};

test::TempDir* InstalledCtyTest::dir_ = nullptr;
std::string InstalledCtyTest::path_;
CtyBuildSummary* InstalledCtyTest::summary_ = nullptr;
ReferenceData* InstalledCtyTest::ref_ = nullptr;

// The country file's own reading of a call: the exact call, else the longest
// prefix of the call among the aliases; the entity by its number.
class CtyReading {
  public:
    explicit CtyReading(const std::vector<CtyEntity>& entities) {
        for (bool awardOnly : {false, true}) {
            for (const CtyEntity& e : entities) {
                if (e.awardOnly != awardOnly) continue;
                for (const CtyAlias& a : e.calls)
                    calls_.emplace(a.text, e.number + " " + a.cqZone + " " + a.ituZone);
                for (const CtyAlias& a : e.prefixes)
                    prefixes_.emplace(a.text, e.number + " " + a.cqZone + " " + a.ituZone);
            }
        }
    }
    std::string entity(const std::string& call) const {
        if (auto it = calls_.find(call); it != calls_.end()) return it->second;
        for (std::size_t n = call.size(); n > 0; --n) {
            if (auto it = prefixes_.find(call.substr(0, n)); it != prefixes_.end())
                return it->second;
        }
        return "";
    }

  private:
    std::map<std::string, std::string> calls_, prefixes_;
};

TEST_F(InstalledCtyTest, EveryEntityHasItsOwnKeyAndAliasRow) {
    std::ifstream cty(kInstalledCty);
    const std::vector<CtyEntity> entities = ParseCtyCsv(cty, kInstalledCty);
    int dxccEntities = 0;
    for (const CtyEntity& e : entities) dxccEntities += e.awardOnly ? 0 : 1;
    EXPECT_GT(dxccEntities, 300);
    EXPECT_EQ(summary_->entities, dxccEntities);

    std::map<std::string, std::string> idByKey;
    for (const CTvx95PrefixSet& row : ref_->prefixRows()) {
        EXPECT_LE(row.m_PREFIX.size(), 4u) << row.m_PREFIX;
        EXPECT_TRUE(idByKey.emplace(row.m_PREFIX, row.m_ARRL_ID).second)
            << "two entities share " << row.m_PREFIX;
        // The key's own alias row: KEY/CALL and the special forms reach it.
        const CTvx95MapPrefixSet* self = ref_->findMapPrefix(row.m_PREFIX);
        ASSERT_NE(self, nullptr) << row.m_PREFIX;
        EXPECT_EQ(self->m_PRI_PREFIX, row.m_PREFIX);
    }
    EXPECT_EQ(idByKey.size(), static_cast<std::size_t>(dxccEntities));
    const std::map<std::string, std::string> special = {
        {"K", "291"},   {"KL7", "6"},    {"KH6", "110"},  {"KG4", "105"},
        {"KC4A", "13"}, {"SV/A", "180"}, {"SV5", "45"},   {"SV9", "40"},
        {"FR/G", "99"}, {"FR/J", "124"}, {"FR/T", "276"}, {"FO/A", "508"},
        {"FO/C", "36"}, {"FO/M", "509"}, {"3D/C", "489"}, {"VP/G", "235"},
    };
    for (const auto& [key, id] : special) EXPECT_EQ(idByKey[key], id) << key;
}

TEST_F(InstalledCtyTest, RealCallsOfManyCountries) {
    struct Case {
        const char* call;
        const char* prefix;
        const char* cq;
        const char* itu;
    };
    const Case cases[] = {
        {"G4ABC", "G", "14", "27"},       {"M0ABC", "G", "14", "27"},
        {"2E0ABC", "G", "14", "27"},      {"MM0BQI", "GM", "14", "27"},
        {"GW4ABC", "GW", "14", "27"},     {"EI5ABC", "EI", "14", "27"},
        {"W1AW", "K", "05", "08"},        {"K1TTT", "K", "05", "08"},
        {"W6YI", "K", "03", "06"},        {"K5ZD", "K", "04", "07"},
        {"N0AX", "K", "04", "07"},        {"K8ND", "K", "04", "08"},
        {"AC0W", "K", "04", "07"},        {"KH6LC", "KH6", "31", "61"},
        {"NH6Y", "KH6", "31", "61"},      {"KL7RA", "KL7", "01", "01"},
        {"AL7KC", "KL7", "01", "01"},     {"KP4ABC", "KP4", "08", "11"},
        {"VE3ABC", "VE", "04", "04"},     {"VE1RGB", "VE", "05", "09"},
        {"XE2S", "XE", "06", "10"},       {"JA1ABC", "JA", "25", "45"},
        {"7K4QOK", "JA", "25", "45"},     {"HL5IVL", "HL", "25", "44"},
        {"BY1DX", "BY", "24", "44"},      {"VU2ABC", "VU", "22", "41"},
        {"4X4ABC", "4X", "20", "39"},     {"A61ABC", "A6", "21", "39"},
        {"DL1ABC", "DL", "14", "28"},     {"DF7ZS", "DL", "14", "28"},
        {"F5ABC", "F", "14", "27"},       {"I2ABC", "I", "15", "28"},
        {"IT9ABC", "I", "15", "28"},      {"EA3NT", "EA", "14", "37"},
        {"EA8AH", "EA8", "33", "36"},     {"CT1ABC", "CT", "14", "37"},
        {"ON4UN", "ON", "14", "27"},      {"PA3EWP", "PA", "14", "27"},
        {"OK1RR", "OK", "15", "28"},      {"HA8TKS", "HA", "15", "28"},
        {"SP3GEM", "SP", "15", "28"},     {"YO3JR", "YO", "20", "28"},
        {"SM5AJV", "SM", "14", "18"},     {"OH2BH", "OH", "15", "18"},
        {"LA1ABC", "LA", "14", "18"},     {"OZ1ABC", "OZ", "14", "18"},
        {"UA3ABC", "UA", "16", "29"},     {"RA3ATX", "UA", "16", "29"},
        {"UR5ABC", "UR", "16", "29"},     {"TA1ABC", "TA", "20", "39"},
        {"SV1ABC", "SV", "20", "28"},     {"SV5ABC", "SV5", "20", "28"},
        {"SV9ABC", "SV9", "20", "28"},    {"VK2ABC", "VK", "30", "59"},
        {"VK6ABC", "VK", "29", "58"},     {"ZL1BQD", "ZL", "32", "60"},
        {"ZS6EZ", "ZS", "38", "57"},      {"LU1FAM", "LU", "13", "14"},
        {"PY2ABC", "PY", "11", "15"},     {"CE3CT", "CE", "12", "14"},
        {"VP8ABC", "VP8", "13", "16"},    {"4U1UN", "4U1U", "05", "08"},
        {"SV1ABC/A", "SV/A", "20", "28"}, {"KC4/W1AW", "KC4A", "13", "74"},
        {"KG4AB", "KG4", "08", "11"},     {"KG4ABC", "K", "05", "08"},
        {"FR5AB/G", "FR/G", "39", "53"},  {"FR5AB/J", "FR/J", "39", "53"},
        {"FR5AB/T", "FR/T", "39", "53"},  {"FO5AB/A", "FO/A", "32", "63"},
        {"FO5AB/C", "FO/C", "07", "10"},  {"FO5AB/M", "FO/M", "31", "63"},
        {"VE3/W1ABC", "VE", "04", "04"},  {"W1ABC/VP9", "VP9", "05", "11"},
    };
    for (const Case& c : cases) {
        ResolutionRecord rec;
        const ResolveOutcome o = ResolveCallsignSteps(*ref_, c.call, "20230601", rec, nullptr);
        EXPECT_TRUE(o.found) << c.call;
        EXPECT_EQ(rec.prefix, c.prefix) << c.call;
        EXPECT_EQ(rec.cqZone, c.cq) << c.call;
        EXPECT_EQ(rec.ituZone, c.itu) << c.call;
    }
}

// Every call of the public master call list reads as the country file reads
// it, entity and zones, but where the resolution decides otherwise on
// purpose: KG4 calls other than KG4 plus two letters are US calls, and a key
// that gets an alias row of its own claims the calls that begin with it (KC4A
// for Antarctica, IS for Sardinia) where the file has a shorter alias of
// another entity. Calls with "/" follow the resolution's own rules.
TEST_F(InstalledCtyTest, MasterCallListReadsAsTheCountryFile) {
    if (!std::filesystem::exists(kInstalledCalls)) GTEST_SKIP() << kInstalledCalls;
    std::ifstream cty(kInstalledCty);
    const CtyReading reading(ParseCtyCsv(cty, kInstalledCty));
    std::map<std::string, std::string> idByKey;
    for (const CTvx95PrefixSet& row : ref_->prefixRows()) idByKey[row.m_PREFIX] = row.m_ARRL_ID;

    std::ifstream list(kInstalledCalls);
    std::string call;
    int calls = 0, onPurpose = 0;
    while (std::getline(list, call)) {
        if (call.empty() || call[0] == '#' || call.find('/') != std::string::npos) continue;
        ++calls;
        ResolutionRecord rec;
        const ResolveOutcome o = ResolveCallsignSteps(*ref_, call, "20230601", rec, nullptr);
        const std::string ours =
            o.found ? idByKey[rec.prefix] + " " + rec.cqZone + " " + rec.ituZone : "";
        const std::string theirs = reading.entity(call);
        if (ours == theirs) continue;
        const bool guantanamoRule = call.compare(0, 3, "KG4") == 0 && call.size() != 5;
        const bool keyRow = call.compare(0, rec.prefix.size(), rec.prefix) == 0 &&
                            rec.prefix.size() > 1 &&
                            reading.entity(rec.prefix).substr(0, idByKey[rec.prefix].size() + 1) !=
                                idByKey[rec.prefix] + " ";
        if (guantanamoRule || keyRow) {
            ++onPurpose;
            continue;
        }
        ADD_FAILURE() << call << ": " << ours << " where the country file reads " << theirs;
    }
    EXPECT_GT(calls, 50000);
    EXPECT_LT(onPurpose, calls / 200);
}

}  // namespace
}  // namespace tvx
