// Real ADIF files written by other programs and a real LoTW download.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "import/contact.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

const std::string kAdifDir = std::string(TVX_SHARED_DATA_DIR) + "/adif";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountEndOfRecordTags(const std::string& bytes) {
    int n = 0;
    const std::string lower = [&] {
        std::string t = bytes;
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return t;
    }();
    for (std::size_t pos = 0; (pos = lower.find("<eor>", pos)) != std::string::npos; ++pos) ++n;
    return n;
}

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string Col(const test::QsoRowMap& row, const std::string& name) {
    const auto it = row.find(name);
    return it != row.end() && it->second ? *it->second : std::string();
}

// What any written row must look like, whatever the file.
void ExpectSensibleRow(const test::QsoRowMap& row, const std::string& file) {
    const std::string call = Col(row, "QSO-CALL");
    EXPECT_GE(CharCount(call), 2u) << file;
    EXPECT_EQ(call, ToUpper(call)) << file;
    const std::string date = Col(row, "QSO-DATE");
    EXPECT_TRUE(AllDigits(date) && date.size() == 8 && !CheckDate(date)) << file << " " << date;
    EXPECT_TRUE(IsValidTime(Col(row, "QSO-TIME"))) << file << " " << call;
    const std::string band = Col(row, "QSO-BAND");
    EXPECT_TRUE(AllDigits(band) && std::stoi(band) <= 23) << file << " " << call << " " << band;
    const std::string mode = Col(row, "QSO-MODE");
    EXPECT_TRUE(mode.size() == 1 && mode[0] >= '0' && mode[0] <= '7') << file << " " << mode;
    EXPECT_FALSE(Col(row, "QSO-PREFIX").empty()) << file << " " << call;
    EXPECT_LE(CharCount(Col(row, "QSO-NOTE")), 50u) << file;
    EXPECT_TRUE(IsValidUtf8(Col(row, "QSO-NAME")) && IsValidUtf8(Col(row, "QSO-NOTE")) &&
                IsValidUtf8(Col(row, "QSO-QTH")))
        << file;
    const std::string state = Col(row, "QSO-STATE");
    EXPECT_TRUE(state.empty() || (state.size() == 2 && state == ToUpper(state))) << file << state;
    EXPECT_EQ(Col(row, "QSO-STATE").find("//"), std::string::npos) << file;
    EXPECT_EQ(Col(row, "QSO-COUNTY").find("//"), std::string::npos) << file;
}

std::vector<std::string> StandardFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"peer-samples-bsd3", "peer-samples-gpl3"}) {
        const std::string dir = kAdifDir + "/" + folder;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() == ".adi" && name != "lotwreport.adi") {
                files.push_back(entry.path().string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(AdifRealFiles, EveryLoggerExportImportsAsStandardAdif) {
    const auto files = StandardFiles();
    if (files.empty()) GTEST_SKIP() << "no shared ADIF files in " << kAdifDir;
    for (const std::string& path : files) {
        test::ImportFixture f;
        const std::string bytes = ReadBytes(path);
        const std::string name = std::filesystem::path(path).filename().string();
        ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource(name, bytes))) << name;
        const Counters c = f.host.counters;
        EXPECT_EQ(c.recordsRead, CountEndOfRecordTags(bytes)) << name;
        EXPECT_GT(c.recordsLoaded, 0) << name;
        EXPECT_EQ(c.recordsRead, c.recordsLoaded + c.errors) << name;
        const auto rows = f.rows();
        EXPECT_EQ(static_cast<int>(rows.size()), c.recordsLoaded) << name;
        for (const auto& row : rows) ExpectSensibleRow(row, name);
    }
}

TEST(AdifRealFiles, LotwDownloadIsRefusedAsStandardAdif) {
    const std::string path = kAdifDir + "/peer-samples-bsd3/lotwreport.adi";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    test::ImportFixture f;
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("lotwreport.adi", ReadBytes(path))));
    EXPECT_TRUE(f.host.saw(kMsgLotwFileAsStandard));
    EXPECT_EQ(f.host.counters.recordsRead, 0);
    EXPECT_TRUE(f.rows().empty());
}

// The fields of the download's records that identify a contact.
struct LotwContact {
    std::string call, date, time, band, mode;
};

std::string FieldValue(const std::string& record, const std::string& name) {
    const std::string tag = "<" + name + ":";
    const std::size_t at = record.find(tag);
    if (at == std::string::npos) return {};
    const std::size_t close = record.find('>', at);
    const int length = std::stoi(record.substr(at + tag.size(), close - at - tag.size()));
    return record.substr(close + 1, static_cast<std::size_t>(length));
}

std::vector<LotwContact> LotwContacts(const std::string& bytes) {
    std::vector<LotwContact> out;
    const std::size_t eoh = bytes.find("<eoh>");
    std::size_t start = eoh + 5;
    for (std::size_t end; (end = bytes.find("<eor>", start)) != std::string::npos;
         start = end + 5) {
        const std::string record = bytes.substr(start, end - start);
        out.push_back({FieldValue(record, "CALL"), FieldValue(record, "QSO_DATE"),
                       FieldValue(record, "TIME_ON"), FieldValue(record, "BAND"),
                       FieldValue(record, "MODE")});
    }
    return out;
}

TEST(AdifRealFiles, LotwDownloadConfirmsTheLogAndAddsTheRest) {
    const std::string path = kAdifDir + "/peer-samples-bsd3/lotwreport.adi";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    const std::string bytes = ReadBytes(path);
    const auto contacts = LotwContacts(bytes);
    ASSERT_EQ(contacts.size(), 438u);

    // The station's own log holds every fifth contact of the download, with
    // times in minutes as many loggers keep them.
    test::ImportFixture f;
    std::string own = "own log\n<EOH>\n";
    for (std::size_t i = 0; i < contacts.size(); i += 5) {
        const LotwContact& c = contacts[i];
        own += "<CALL:" + std::to_string(c.call.size()) + ">" + c.call + " <QSO_DATE:8>" + c.date +
               " <TIME_ON:4>" + c.time.substr(0, 4) + " <BAND:" + std::to_string(c.band.size()) +
               ">" + c.band + " <MODE:" + std::to_string(c.mode.size()) + ">" + c.mode + " <EOR>\n";
    }
    ImportOptions ownOptions = f.options(test::TypeOf("adif"), f.writeSource("own.adi", own));
    ownOptions.oprCalls = {"K9CTS"};
    ownOptions.defaultOprCall = "K9CTS";
    ASSERT_TRUE(f.run(ownOptions));
    const auto before = f.rows();
    ASSERT_GT(before.size(), 50u);
    for (const auto& row : before) ASSERT_EQ(Col(row, "QSO-CONFIRM"), "0");

    ImportOptions lotw = f.options(test::TypeOf("lotw"), f.writeSource("lotwreport.adi", bytes));
    lotw.oprCalls = {"K9CTS"};
    lotw.defaultOprCall = "K9CTS";
    const Counters start = f.host.counters;
    ASSERT_TRUE(f.run(lotw));
    const Counters end = f.host.counters;
    EXPECT_EQ(end.recordsRead - start.recordsRead, 438);
    const int loaded = end.recordsLoaded - start.recordsLoaded;
    const int errors = end.errors - start.errors;
    EXPECT_EQ(loaded + errors, 438);

    const auto rows = f.rows();
    for (std::size_t i = 0; i < before.size(); ++i) {
        // The rows of the own log are confirmed in place.
        EXPECT_EQ(Col(rows[i], "QSO-CONFIRM"), "2") << Col(rows[i], "QSO-CALL");
        EXPECT_FALSE(Col(rows[i], "QSO-LOTWREC").empty()) << Col(rows[i], "QSO-CALL");
        EXPECT_EQ(Col(rows[i], "QSO-OPRCALL"), "K9CTS");
    }
    // The download holds KP4JRS twice (seconds 45 and 00): the second
    // confirms the row the first one wrote.
    const std::size_t added = rows.size() - before.size();
    EXPECT_EQ(static_cast<int>(added), loaded - static_cast<int>(before.size()) - 1);
    int withState = 0;
    for (std::size_t i = before.size(); i < rows.size(); ++i) {
        const auto& row = rows[i];
        ExpectSensibleRow(row, "lotwreport.adi");
        EXPECT_EQ(Col(row, "QSO-CONFIRM"), "2");
        EXPECT_EQ(Col(row, "QSO-OPRCALL"), "K9CTS");
        EXPECT_EQ(Col(row, "QSO-TIME").substr(4), "00");
        if (!Col(row, "QSO-STATE").empty()) ++withState;
    }
    // LoTW's comments after values no longer hide the states.
    EXPECT_GT(withState, static_cast<int>(added) / 2);
    const auto first = std::find_if(rows.begin(), rows.end(), [](const test::QsoRowMap& r) {
        return Col(r, "QSO-CALL") == "N5ILQ" && Col(r, "QSO-DATE") == "20220602";
    });
    ASSERT_NE(first, rows.end());
    EXPECT_EQ(Col(*first, "QSO-STATE"), "OK");
    EXPECT_EQ(Col(*first, "QSO-COUNTY"), "OKLAHOMA");
    for (const std::string& line : f.reportLines()) {
        EXPECT_EQ(line.find("County? N5ILQ"), std::string::npos) << line;
        EXPECT_EQ(line.find("//"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace tvx
