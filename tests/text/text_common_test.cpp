// The line reading, record loop and conversions the text exports share.

#include "readers/text_common.h"

#include <string>
#include <vector>

#include "import/messages.h"
#include "text/text_cases.h"

namespace tvx::test {
namespace {

std::vector<TextLine> ReadAll(const std::string& bytes) {
    TempDir dir;
    TextLineReader reader;
    EXPECT_TRUE(reader.Open(dir.write("lines.txt", bytes)));
    std::vector<TextLine> lines;
    for (TextLine line; reader.Next(line);) lines.push_back(line);
    return lines;
}

TEST(TextLineReader, KeepsLinesWholeAndCountsTheirEnds) {
    const std::string longLine(5000, 'x');
    const auto lines = ReadAll("one\r\n" + longLine + "\ntwo\r\n\r\nlast");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "one");
    EXPECT_EQ(lines[0].length, 5u);
    EXPECT_EQ(lines[1].text, longLine);
    EXPECT_EQ(lines[1].length, 5001u);
    EXPECT_EQ(lines[2].text, "two");
    EXPECT_EQ(lines[3].text, "");
    EXPECT_EQ(lines[3].length, 2u);
    EXPECT_EQ(lines[4].text, "last");
    EXPECT_EQ(lines[4].length, 4u);
}

TEST(TextLineReader, LineAcrossManyBuffersIsOneLine) {
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "0123456789";  // 200,000 bytes
    const auto lines = ReadAll(big + "\r\nnext\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, big);
    EXPECT_FALSE(lines[0].tooLong);
    EXPECT_EQ(lines[1].text, "next");
}

TEST(TextLineReader, LineOverOneMebibyteIsMarkedAndTheNextReadNormally) {
    const std::string huge(TextLineReader::kMaxLineBytes + 10, 'h');
    const auto lines = ReadAll(huge + "\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].tooLong);
    EXPECT_LE(lines[0].text.size(), TextLineReader::kMaxLineBytes);
    EXPECT_EQ(lines[1].text, "next");
    EXPECT_FALSE(lines[1].tooLong);
}

TEST(TextLineReader, DecodesLegacyTextAndDropsByteOrderMark) {
    const auto lines = ReadAll(
        "\xEF\xBB\xBF"
        "caf\xC3\xA9\nM\xFCller \x80\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "caf\xC3\xA9");
    EXPECT_EQ(lines[0].length, 5u);  // characters, not bytes
    EXPECT_EQ(lines[1].text, "M\xC3\xBCller \xE2\x82\xAC");
}

TEST(TextLineReader, FolderAndMissingFileDoNotOpen) {
    TempDir dir;
    TextLineReader reader;
    EXPECT_FALSE(reader.Open(dir.path()));
    EXPECT_FALSE(reader.Open(dir.file("missing.txt")));
}

TEST(SkipsTextLine, ShortLinesCountTheirLineEnd) {
    const auto lines = ReadAll(std::string(23, 'a') + "\r\n" + std::string(22, 'a') + "\r\n" +
                               std::string(24, 'a') + "\n" + std::string(24, 'a'));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FALSE(SkipsTextLine(lines[0], ";"));
    EXPECT_TRUE(SkipsTextLine(lines[1], ";"));
    EXPECT_FALSE(SkipsTextLine(lines[2], ";"));
    EXPECT_TRUE(SkipsTextLine(lines[3], ";"));  // the last line has no line end
}

TEST(SkipsTextLine, FirstCharacters) {
    const std::string rest(30, 'a');
    // A CR ends a line of its own too: LF CR gives an empty line.
    const auto lines = ReadAll(";" + rest + "\n-" + rest + "\n " + rest + "\n\r" + rest + "\r");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(SkipsTextLine(lines[0], ";- "));
    EXPECT_TRUE(SkipsTextLine(lines[1], ";- "));
    EXPECT_TRUE(SkipsTextLine(lines[2], ";- "));
    EXPECT_TRUE(SkipsTextLine(lines[3], ""));
    EXPECT_EQ(lines[4].text, rest);
    // A CR LF split by the reader's 64 KiB buffer is one line end.
    const auto split = ReadAll(std::string(64 * 1024 - 1, 'b') + "\r\n" + rest + "\r\n");
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[1].text, rest);
    EXPECT_FALSE(SkipsTextLine(lines[0], " "));
    EXPECT_FALSE(SkipsTextLine(lines[1], ";"));
}

struct FieldCase {
    const char* line;
    std::vector<std::string> quoted;  // what CutQuotedField gives, in turn
};

TEST(CutQuotedField, Table) {
    const FieldCase cases[] = {
        {R"("W1AW","03/15/99","")", {"W1AW", "03/15/99", ""}},
        {R"(" padded " , "x")", {"padded", "x"}},
        {R"(bare,"quoted")", {"bare", "quoted"}},
        {R"("unterminated)", {"unterminated"}},
        {"", {""}},
    };
    for (const auto& c : cases) {
        std::string line = c.line;
        for (const auto& want : c.quoted) EXPECT_EQ(CutQuotedField(line), want) << c.line;
    }
}

TEST(CutQuotedText, KeepsCommasAndStaysInStep) {
    std::string line = R"("Hello, old friend, 73","Y","N")";
    EXPECT_EQ(CutQuotedText(line), "Hello, old friend, 73");
    EXPECT_EQ(CutQuotedField(line), "Y");
    EXPECT_EQ(CutQuotedField(line), "N");
    line = R"("","next")";
    EXPECT_EQ(CutQuotedText(line), "");
    EXPECT_EQ(CutQuotedField(line), "next");
}

TEST(Conversions, Table) {
    EXPECT_EQ(CenturyDate("99", "03", "15"), "19990315");
    EXPECT_EQ(CenturyDate("10", "01", "02"), "19100102");
    EXPECT_EQ(CenturyDate("09", "12", "31"), "20091231");
    EXPECT_EQ(CenturyDate("00", "01", "01"), "20000101");
    EXPECT_EQ(HhMmTime("0930", true), "093000");
    EXPECT_EQ(HhMmTime("0930", false), "00");
    EXPECT_EQ(HhMmTime("09:30", false), "093000");
    EXPECT_EQ(HhMmTime("930", true), "00");
    EXPECT_EQ(HhMmTime("", true), "00");
    EXPECT_EQ(SeparatedTime("23:59:59"), "235900");
    EXPECT_EQ(WithoutFirst("14.025", '.'), "14025");
    EXPECT_EQ(WithoutFirst("1.2.3", '.'), "12.3");
    EXPECT_EQ(WithoutFirst("14", '.'), "14");
    EXPECT_EQ(Mid("\xC3\xA9t\xC3\xA9", 1, 2), "t\xC3\xA9");
    EXPECT_EQ(Mid("abc", 5, 2), "");
    EXPECT_EQ(FirstWord("599 NY"), "599");
    EXPECT_EQ(FirstWord("599"), "599");
    EXPECT_EQ(DefaultReport("2"), "599");
    EXPECT_EQ(DefaultReport("5"), "599");
    EXPECT_EQ(DefaultReport("0"), "59");
    EXPECT_EQ(DefaultReport("6"), "59");
}

// The per-record steps come from the session: Stop Import asks once, and Yes
// ends the run with what was loaded so far.
TEST(ImportTextLines, StopImportAsksAndYesEndsTheRun) {
    ImportFixture fx;
    std::string content;
    for (int i = 0; i < 5; ++i) content += "W1AW;1;2005/03/15;09:30;;;14,085.5;x;\r\n";
    const std::string path = fx.writeSource("log.exp", content);
    int pumps = 0;
    fx.host.onPump = [&] {
        if (++pumps == 3) fx.session->StopImport();
    };
    ASSERT_TRUE(fx.run(kXpWin, path));
    EXPECT_EQ(fx.host.count(kMsgAbortQuestion), 1);
    EXPECT_EQ(fx.host.counters.recordsRead, 2);
    EXPECT_EQ(fx.rows().size(), 2u);
}

TEST(ImportTextLines, NoAnswerGoesOn) {
    ImportFixture fx;
    std::string content;
    for (int i = 0; i < 5; ++i) content += "W1AW;1;2005/03/15;09:30;;;14,085.5;x;\r\n";
    const std::string path = fx.writeSource("log.exp", content);
    fx.host.answers[kMsgAbortQuestion] = false;
    int pumps = 0;
    fx.host.onPump = [&] {
        if (++pumps == 3) fx.session->StopImport();
    };
    ASSERT_TRUE(fx.run(kXpWin, path));
    EXPECT_EQ(fx.host.count(kMsgAbortQuestion), 1);
    EXPECT_EQ(fx.host.counters.recordsRead, 5);
    EXPECT_EQ(fx.rows().size(), 5u);
}

TEST(ImportTextLines, LineTooLongIsReportedAndSkipped) {
    ImportFixture fx;
    const std::string good = "W1AW;1;2005/03/15;09:30;;;14,085.5;x;\r\n";
    const std::string huge = "W2XYZ;" + std::string(TextLineReader::kMaxLineBytes, 'x') + "\r\n";
    ASSERT_TRUE(fx.run(kXpWin, fx.writeSource("log.exp", good + huge + good)));
    EXPECT_EQ(fx.host.counters.recordsRead, 3);
    EXPECT_EQ(fx.host.counters.recordsLoaded, 2);
    EXPECT_EQ(fx.host.counters.errors, 1);
    EXPECT_EQ(fx.reportLines(), std::vector<std::string>{"ERROR:  Line too long?     2m  USB    "});
}

TEST(ImportTextLines, FilterDoNotLoadGivesSamples) {
    ImportFixture fx;
    std::string content;
    for (int i = 0; i < 20; ++i) content += "W1AW;1;2005/03/15;09:30;;;14,085.5;x;\r\n";
    ImportOptions o = fx.options(kXpWin, fx.writeSource("log.exp", content));
    o.filter = kFilterNone;
    ASSERT_TRUE(fx.run(o));
    EXPECT_EQ(fx.host.counters.recordsIgnored, 20);
    EXPECT_TRUE(fx.rows().empty());
    const auto report = fx.reportLines();
    ASSERT_EQ(report.size(), 15u);
    EXPECT_EQ(report[0], "Sample W1AW 20050315 093000 14085.50 20m  RTTY 599 599  ");
}

TEST(ImportTextLines, EmptyFileReadsNothing) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kSwisslog, fx.writeSource("empty.txt", "")));
    EXPECT_EQ(fx.host.counters.recordsRead, 0);
    EXPECT_FALSE(fx.host.saw(kMsgSourceFileNotOpen));
}

// Garbage of every kind goes through each reader without harm: every line
// counted is either loaded or reported.
TEST(ImportTextLines, RandomLinesNeverCrash) {
    const std::string alphabet = "\"\",,,;;;^^^ /:.-0123456789WKDLAYN\t\xE9\xC3\xFF";
    unsigned state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    std::string content;
    for (int line = 0; line < 300; ++line) {
        const unsigned length = next() % 160;
        for (unsigned i = 0; i < length; ++i) content += alphabet[next() % alphabet.size()];
        content += line % 2 ? "\r\n" : "\n";
    }
    for (int type : {kLogWindows, kXpWin, kLogview, kSwisslog}) {
        ImportFixture fx;
        ASSERT_TRUE(fx.run(type, fx.writeSource("noise.txt", content)));
        const Counters c = fx.host.counters;
        EXPECT_GT(c.recordsRead, 0) << type;
        EXPECT_EQ(static_cast<int>(fx.rows().size()), c.recordsLoaded) << type;
        EXPECT_LE(c.recordsLoaded + c.recordsIgnored, c.recordsRead) << type;
        EXPECT_GE(c.errors + c.recordsLoaded + c.recordsIgnored, c.recordsRead) << type;
    }
}

}  // namespace
}  // namespace tvx::test
