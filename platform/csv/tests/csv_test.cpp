#include "platform/csv/CSV.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace wv {
namespace {

std::vector<CSV::Row> rowsOf(const CSV& table) {
    std::vector<CSV::Row> rows;
    table.enumerateAsDict([&](const CSV::Row& row) { rows.push_back(row); });
    return rows;
}

TEST(CSV, HeaderAndRowsInFileOrder) {
    auto table = CSV::fromString("id,en,de\nhello,Hello,Hallo\nbye,Bye,Tschüss\n");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->header(), (std::vector<std::string>{"id", "en", "de"}));
    auto rows = rowsOf(*table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (CSV::Row{{"id", "hello"}, {"en", "Hello"}, {"de", "Hallo"}}));
    EXPECT_EQ(rows[1].at("de"), "Tschüss");
}

struct FieldCase {
    const char* name;
    std::string text;
    std::string expected;  // the field under "b" of the only row
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class CSVField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CSVField, ReadsTheSecondField) {
    auto table = CSV::fromString(GetParam().text);
    ASSERT_TRUE(table) << GetParam().name;
    auto rows = rowsOf(*table);
    ASSERT_EQ(rows.size(), 1u) << GetParam().name;
    EXPECT_EQ(rows[0].at("b"), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, CSVField,
    ::testing::Values(FieldCase{"comma", "a,b\nx,\"one, two\"\n", "one, two"},
                      FieldCase{"doubled quotes", "a,b\nx,\"say \"\"hi\"\"\"\n", "say \"hi\""},
                      FieldCase{"line break", "a,b\nx,\"line1\nline2\"\n", "line1\nline2"},
                      FieldCase{"CRLF kept inside quotes", "a,b\r\nx,\"l1\r\nl2\"\r\n", "l1\r\nl2"},
                      FieldCase{"CRLF records", "a,b\r\nx,y\r\n", "y"},
                      FieldCase{"no final newline", "a,b\nx,y", "y"},
                      FieldCase{"byte-order mark",
                                "\xEF\xBB\xBF"
                                "a,b\nx,y\n",
                                "y"},
                      FieldCase{"empty field", "a,b,c\nx,,z\n", ""},
                      FieldCase{"quoted empty field", "a,b\nx,\"\"\n", ""},
                      FieldCase{"stray quote is text", "a,b\nx,it\"s\n", "it\"s"},
                      FieldCase{"text after closing quote", "a,b\nx,\"ab\"c\n", "abc"},
                      FieldCase{"placeholders", "a,b\nx,# of $\n", "# of $"},
                      FieldCase{"empty lines are no records", "a,b\n\n\r\nx,y\n\n", "y"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(CSV, TheBomKeepsTheFirstColumnNameClean) {
    auto table = CSV::fromString("\xEF\xBB\xBFid,en\nk,v\n");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->header().front(), "id");
    EXPECT_EQ(rowsOf(*table)[0].at("id"), "k");
}

TEST(CSV, AShortRowLacksTheMissingFieldsAndALongRowDropsTheExtra) {
    auto table = CSV::fromString("id,en,de\nk1,One\nk2,Two,Zwei,extra\nk3\n");
    ASSERT_TRUE(table);
    auto rows = rowsOf(*table);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (CSV::Row{{"id", "k1"}, {"en", "One"}}));
    EXPECT_EQ(rows[1], (CSV::Row{{"id", "k2"}, {"en", "Two"}, {"de", "Zwei"}}));
    EXPECT_EQ(rows[2], (CSV::Row{{"id", "k3"}}));
}

TEST(CSV, AHeaderOnlyTableHasNoRows) {
    auto table = CSV::fromString("id,en\n");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rowCount(), 0u);
}

TEST(CSV, HostileInputFailsWithoutCrashing) {
    const std::vector<std::string> bad = {
        "",                           // empty file
        "\xEF\xBB\xBF",               // only a byte-order mark
        "\n\r\n\n",                   // only empty lines
        "id,en\nk,\"never closed\n",  // unterminated quote
        "\"",                         // a lone quote
        "id,en\nk,\xC3\n",            // truncated UTF-8 sequence
        "id,en\nk,\xFF\xFE\n",        // not UTF-8
        "id,en\nk,\xED\xA0\x80\n",    // an encoded surrogate
        "id,en\nk,\xC0\xAF\n",        // overlong form
    };
    for (const auto& text : bad)
        EXPECT_FALSE(CSV::fromString(text)) << testing::PrintToString(text);
}

TEST(CSV, EveryPrefixOfATrickyTableParsesOrFailsCleanly) {
    const std::string text = "\xEF\xBB\xBFid,\"a\"\"b\",c\r\n\"x\ny\",\"\",z\r\n,\"q,\"\"\"\r\nend";
    size_t failures = 0;
    for (size_t n = 0; n < text.size(); ++n) {
        auto table = CSV::fromString(std::string_view(text).substr(0, n));
        if (!table) {
            ++failures;
            continue;
        }
        table->enumerateAsDict([&](const CSV::Row& row) { EXPECT_LE(row.size(), 3u); });
    }
    EXPECT_GT(failures, 0u);  // cut inside a quoted field or a UTF-8 sequence
    auto whole = CSV::fromString(text);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->header(), (std::vector<std::string>{"id", "a\"b", "c"}));
    auto rows = rowsOf(*whole);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (CSV::Row{{"id", "x\ny"}, {"a\"b", ""}, {"c", "z"}}));
    EXPECT_EQ(rows[1], (CSV::Row{{"id", ""}, {"a\"b", "q,\""}}));
    EXPECT_EQ(rows[2], (CSV::Row{{"id", "end"}}));
}

TEST(CSV, FromFileReadsAndMissingFileFails) {
    const auto dir = std::filesystem::temp_directory_path() / "wv-csv-test";
    std::filesystem::create_directories(dir);
    const auto path = dir / "t.csv";
    {
        std::ofstream out(path, std::ios::binary);
        out << "id,en\r\nk,\"v, w\"\r\n";
    }
    auto table = CSV::fromFile(path);
    ASSERT_TRUE(table);
    EXPECT_EQ(rowsOf(*table)[0].at("en"), "v, w");
    EXPECT_FALSE(CSV::fromFile(dir / "missing.csv"));
    EXPECT_FALSE(CSV::fromFile(dir));  // a folder is no table
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace wv
