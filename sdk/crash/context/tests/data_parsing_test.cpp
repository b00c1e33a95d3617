#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXDataParsing.h"

namespace wv {
namespace {

TEST(QXDataParsing, LEB128ExamplesOfTheDwarfStandard) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint64_t unsignedValue;
        int64_t signedValue;
    };
    const Case cases[] = {
        {{2}, 2, 2},
        {{127}, 127, -1},
        {{0x80, 1}, 128, 128},
        {{0x81, 1}, 129, 129},
        {{0x82, 1}, 130, 130},
        {{0xb9, 0x64}, 12857, -3527},
        {{0x7e}, 126, -2},
        {{0x81, 0x7f}, 16257, -127},
        {{0x80, 0x7f}, 16256, -128},
        {{0xff, 0x7e}, 16255, -129},
        // Ten bytes: the most a 64-bit value needs.
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}, UINT64_MAX, -1},
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x7f},
         0x8000000000000000ull,
         INT64_MIN},
    };
    for (const auto& c : cases) {
        const uint8_t* cursor = c.bytes.data();
        EXPECT_EQ(QXParseULEB128AndAdvance(&cursor), c.unsignedValue);
        EXPECT_EQ(cursor, c.bytes.data() + c.bytes.size());
        cursor = c.bytes.data();
        EXPECT_EQ(QXParseSLEB128AndAdvance(&cursor), c.signedValue);
        EXPECT_EQ(cursor, c.bytes.data() + c.bytes.size());
    }
    // A run of continuation bytes ends after the tenth.
    std::vector<uint8_t> endless(16, 0x80);
    const uint8_t* cursor = endless.data();
    QXParseULEB128AndAdvance(&cursor);
    EXPECT_EQ(cursor, endless.data() + 10);
}

TEST(QXDataParsing, FixedWidthReadersAreLittleEndianAndUnaligned) {
    const uint8_t bytes[] = {0xaa, 0xfe, 0xff, 0x01, 0x02, 0x03, 0x84, 0x10,
                             0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
    const uint8_t* cursor = bytes;
    EXPECT_EQ(QXParseUint8AndAdvance(&cursor), 0xaa);
    EXPECT_EQ(QXParseInt16AndAdvance(&cursor), -2);  // unaligned
    cursor = bytes + 1;
    EXPECT_EQ(QXParseUint16AndAdvance(&cursor), 0xfffe);
    EXPECT_EQ(QXParseUint32AndAdvance(&cursor), 0x84030201u);
    cursor = bytes + 3;
    EXPECT_EQ(QXParseInt32AndAdvance(&cursor), int32_t(0x84030201u));
    EXPECT_EQ(QXParseUint64AndAdvance(&cursor), 0x8070605040302010ull);
    EXPECT_EQ(cursor, bytes + 15);
    cursor = bytes + 7;
    EXPECT_EQ(QXParseInt64AndAdvance(&cursor), int64_t(0x8070605040302010ull));
    cursor = bytes + 7;
    EXPECT_EQ(QXParsePointerAndAdvance(&cursor), 0x8070605040302010ull);
}

TEST(QXDataParsing, StringsAndInitialLengths) {
    const uint8_t text[] = {'a', 'b', 0, 'c', 0};
    const uint8_t* cursor = text;
    EXPECT_STREQ(QXParseStringAndAdvance(&cursor), "ab");
    EXPECT_STREQ(QXParseStringAndAdvance(&cursor), "c");
    EXPECT_EQ(cursor, text + 5);

    const uint8_t short_[] = {0x10, 0, 0, 0};
    cursor = short_;
    EXPECT_EQ(QXParseRecordLengthAndAdvance(&cursor), 16u);
    EXPECT_EQ(cursor, short_ + 4);
    const uint8_t long_[] = {0xff, 0xff, 0xff, 0xff, 1, 2, 0, 0, 0, 0, 0, 1};
    cursor = long_;
    EXPECT_EQ(QXParseRecordLengthAndAdvance(&cursor), 0x0100000000000201ull);
    EXPECT_EQ(cursor, long_ + 12);
}

TEST(QXDataParsing, PointerEncodings) {
    test::ScopedLogContext scope;
    struct Case {
        uint8_t encoding;
        std::vector<uint8_t> bytes;
        uint64_t value;
        size_t consumed;
    };
    const Case cases[] = {
        {0x00, {1, 2, 3, 4, 5, 6, 7, 8}, 0x0807060504030201ull, 8},
        {0x04, {1, 0, 0, 0, 0, 0, 0, 0}, 1, 8},
        {0x0c, {2, 0, 0, 0, 0, 0, 0, 0}, 2, 8},
        {0x01, {0xe5, 0x8e, 0x26}, 624485, 3},
        {0x02, {0xfe, 0xff}, 0xfffe, 2},
        {0x03, {0xfe, 0xff, 0xff, 0xff}, 0xfffffffe, 4},
        {0x09, {0x7f}, ~uint64_t(0), 1},
        {0x0a, {0xfe, 0xff}, uint64_t(-2), 2},
        {0x0b, {0xfe, 0xff, 0xff, 0xff}, uint64_t(-2), 4},
        {0x05, {0, 0, 0, 0}, kQXParseFailed, 0},
        {0x08, {0, 0, 0, 0}, kQXParseFailed, 0},
        {0x0d, {0, 0, 0, 0}, kQXParseFailed, 0},
        {0x20,
         {1, 0, 0, 0, 0, 0, 0, 0},
         kQXParseFailed,
         8},  // text-relative: unsupported, value consumed
        {0x30, {1, 0, 0, 0, 0, 0, 0, 0}, kQXParseFailed, 8},
        {0xff, {1, 2}, 0, 0},
    };
    for (const auto& c : cases) {
        const uint8_t* cursor = c.bytes.data();
        EXPECT_EQ(QXParseAddressWithEncodingAndAdvance(&cursor, c.encoding), c.value)
            << int(c.encoding);
        EXPECT_EQ(size_t(cursor - c.bytes.data()), c.consumed) << int(c.encoding);
    }
    EXPECT_NE(scope.log().find("Unhandled: encoding 0x5"), std::string::npos) << scope.log();
    EXPECT_NE(scope.log().find("Unhandled: relative encoding 0x20"), std::string::npos);
    EXPECT_EQ(QXParseAddressWithEncodingAndAdvance(nullptr, 0x00), kQXParseFailed);
}

TEST(QXDataParsing, PcRelativeAndIndirect) {
    alignas(8) uint8_t table[32] = {};
    uint64_t target = 0x1122334455667788ull;
    // pc-relative s32 offset from its own address to the word `target`.
    int32_t offset = static_cast<int32_t>(reinterpret_cast<intptr_t>(&target) -
                                          reinterpret_cast<intptr_t>(table));
    memcpy(table, &offset, 4);
    const uint8_t* cursor = table;
    EXPECT_EQ(QXParseAddressWithEncodingAndAdvance(&cursor, 0x1b),
              reinterpret_cast<uintptr_t>(&target));
    cursor = table;
    EXPECT_EQ(QXParseAddressWithEncodingAndAdvance(&cursor, 0x9b), target);
    EXPECT_EQ(cursor, table + 4);
    // An indirect value of 0 has no word to read.
    uint8_t zero[8] = {};
    cursor = zero;
    EXPECT_EQ(QXParseAddressWithEncodingAndAdvance(&cursor, 0x80), kQXParseFailed);
}

}  // namespace
}  // namespace wv
