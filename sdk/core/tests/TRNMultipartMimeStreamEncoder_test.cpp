#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include "platform/foundation/Log.h"
#include "platform/net/FileOutputStream.h"
#include "platform/net/MemoryOutputStream.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/TestServer.h"

namespace wv {
namespace {

using Encoder = TRNMultipartMimeStreamEncoder;

std::string encodeToMemory(const Encoder::Block& block, uint64_t* length = nullptr,
                           std::string boundary = "B") {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    Encoder encoder(stream, boundary);
    EXPECT_TRUE(encoder.encode(block));
    if (length) *length = encoder.length();
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), std::to_string(stream->data().size()));
    return stream->data();
}

TEST(TRNMultipartMimeStreamEncoder, AnEmptyBodyIsThePreambleAndTheClosingDelimiter) {
    uint64_t length = 0;
    const std::string body = encodeToMemory({}, &length, "XYZ");
    EXPECT_EQ(body, "MIME-Version: 1.0\r\n--XYZ--\r\n");
    EXPECT_EQ(length, body.size());
}

TEST(TRNMultipartMimeStreamEncoder, WritesEachKindOfPartInTheExactByteFormat) {
    uint64_t length = 0;
    const std::string body = encodeToMemory(
        [](Encoder& e) {
            e.addValue(std::string("text"), "app[name]");
            e.addValue(int64_t{42}, "n");
            e.addFileData(std::string("\x89PNG\0\r\n", 7), "icon.png", std::string("image/png"),
                          "app[icon][data]");
            e.addFileData("raw", "f.bin", std::nullopt, "blob");
        },
        &length);
    const std::string expected =
        "MIME-Version: 1.0\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"app[name]\"\r\n"
        "Content-Type: text/plain\r\n\r\ntext\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"n\"\r\n"
        "Content-Type: text/plain\r\n\r\n42\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"app[icon][data]\"; filename=\"icon.png\"\r\n"
        "Content-Type: image/png\r\nContent-Transfer-Encoding: binary\r\n\r\n" +
        std::string("\x89PNG\0\r\n", 7) +
        "\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"blob\"; filename=\"f.bin\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\nraw\r\n"
        "--B--\r\n";
    EXPECT_EQ(body, expected);
    EXPECT_EQ(length, expected.size());
}

TEST(TRNMultipartMimeStreamEncoder, RefusedPartsLeaveNoTraceAndSayWhy) {
    struct Case {
        std::string name;
        Encoder::Block add;
        std::string log;
    };
    const std::vector<Case> cases = {
        {"null value", [](Encoder& e) { e.addValue(std::nullopt, "f"); },
         "[Tarnel] name (f) or value ((null)) is invalid"},
        {"empty field name", [](Encoder& e) { e.addValue(std::string("v"), ""); },
         "[Tarnel] name () or value (v) is invalid"},
        {"empty data", [](Encoder& e) { e.addFileData("", "a.txt", std::nullopt, "f"); },
         "[Tarnel] Unable to MIME encode data with zero length (f)"},
        {"empty file name", [](Encoder& e) { e.addFileData("x", "", std::nullopt, "f"); },
         "[Tarnel] name (f) or fieldname () is invalid"},
        {"empty field name of a file",
         [](Encoder& e) { e.addFileData("x", "a", std::nullopt, ""); },
         "[Tarnel] name () or fieldname (a) is invalid"},
        {"unreadable file",
         [](Encoder& e) { e.addFile("/nonexistent/file", "a", std::nullopt, "f"); },
         "[Tarnel] Unable to MIME encode data with zero length (f)"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        uint64_t length = 0;
        const std::string body = encodeToMemory(
            [&](Encoder& e) {
                e.addValue(std::string("1"), "before");
                c.add(e);
            },
            &length);
        EXPECT_EQ(body, encodeToMemory([](Encoder& e) { e.addValue(std::string("1"), "before"); }))
            << c.name;
        EXPECT_EQ(length, body.size()) << c.name;
        EXPECT_EQ(log.count(c.log), 1u) << c.name;
    }
}

TEST(TRNMultipartMimeStreamEncoder, QuotesAndLineBreaksInNamesCannotBreakTheHeader) {
    const std::string body = encodeToMemory(
        [](Encoder& e) { e.addFileData("x", "a\"b\r\nX-Evil: 1.txt", std::nullopt, "f\"\n"); });
    EXPECT_NE(body.find("name=\"f%22%0A\"; filename=\"a%22b%0D%0AX-Evil: 1.txt\"\r\n"),
              std::string::npos);
    EXPECT_EQ(body.find("\r\nX-Evil"), std::string::npos);
}

TEST(TRNMultipartMimeStreamEncoder, AFullDiskMakesEncodeFailSoCallersKeepTheirInputs) {
    LogCapture log;
    auto stream = std::make_shared<net::FileOutputStream>("/dev/full");
    Encoder encoder(stream, "B");
    EXPECT_FALSE(encoder.encode([](Encoder& e) { e.addValue(std::string("v"), "f"); }));
    EXPECT_EQ(encoder.length(), 0u);
    EXPECT_GE(log.count("[Tarnel] Failed to write data to stream"), 1u);
    EXPECT_FALSE(encoder.writeBytes(reinterpret_cast<const uint8_t*>("x"), 1));
    EXPECT_EQ(log.count("[Tarnel] Failed to write bytes to stream"), 1u);
}

TEST(TRNMultipartMimeStreamEncoder, PartsAddedOutsideEncodeGoNowhereAndCountNothing) {
    LogCapture log;
    auto stream = std::make_shared<net::MemoryOutputStream>();
    Encoder encoder(stream, "B");
    ASSERT_TRUE(encoder.encode({}));
    const uint64_t length = encoder.length();
    encoder.addValue(std::string("late"), "f");
    EXPECT_EQ(encoder.length(), length);
    EXPECT_EQ(stream->data(), "MIME-Version: 1.0\r\n--B--\r\n");
    EXPECT_GE(log.count("[Tarnel] Failed to write data to stream"), 1u);
}

TEST(TRNMultipartMimeStreamEncoder, GeneratedBoundariesAreDistinctUpperCaseUUIDs) {
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    const std::string a = Encoder::generateBoundary();
    const std::string b = Encoder(nullptr, std::nullopt).boundary();
    EXPECT_TRUE(std::regex_match(a, uuid)) << a;
    EXPECT_TRUE(std::regex_match(b, uuid)) << b;
    EXPECT_NE(a, b);
    EXPECT_EQ(Encoder::contentTypeHTTPHeaderValueWithBoundary("Q"),
              "multipart/form-data; boundary=Q");
}

TEST(TRNMultipartMimeStreamEncoder, ABodyFromAFileStreamReadsBackThroughCppHttplib) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string input = dir / "wv-encoder-input.bin";
    std::string payload(70000, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 31);
    std::ofstream(input, std::ios::binary) << payload;
    const std::string bodyFile = dir / "wv-encoder-body.multipartmime";
    auto stream = std::make_shared<net::FileOutputStream>(bodyFile);
    Encoder encoder(stream, std::nullopt);
    ASSERT_TRUE(encoder.encode([&](Encoder& e) {
        e.addValue(std::string("com.wovanu.typing"), "app[identifier]");
        e.addValue(uint64_t{3}, "app[source]");
        e.addFile(input, "report.bin", std::string("application/x-report"), "file");
    }));
    EXPECT_EQ(encoder.length(), std::filesystem::file_size(bodyFile));

    auto server = net::testing::TestServer::startHTTP();
    server->script("/upload", {{200}});
    auto session = net::URLSession::create({});
    net::URLRequest request(server->url("/upload"));
    request.httpMethod = "POST";
    request.headers.set("Content-Type", encoder.contentTypeHTTPHeaderValue());
    std::promise<void> done;
    session->uploadTask(request, bodyFile, [&](auto, auto, auto) { done.set_value(); })->resume();
    done.get_future().wait();
    ASSERT_EQ(server->requestCount(), 1u);
    auto parts = server->requests()[0].parts;
    ASSERT_EQ(parts.size(), 3u);
    std::map<std::string, net::testing::RecordedPart> byName;
    for (auto& p : parts) byName[p.name] = p;
    EXPECT_EQ(byName["app[identifier]"].content, "com.wovanu.typing");
    EXPECT_EQ(byName["app[source]"].content, "3");
    EXPECT_EQ(byName["file"].filename, "report.bin");
    EXPECT_EQ(byName["file"].contentType, "application/x-report");
    EXPECT_EQ(byName["file"].content, payload);
    std::filesystem::remove(input);
    std::filesystem::remove(bodyFile);
}

TEST(TRNMultipartMimeStreamEncoder, PopulateRequestSetsBodyTypeAndLength) {
    net::URLRequest request("http://h/");
    ASSERT_TRUE(Encoder::populateRequest(request, [](Encoder& e) { e.addValue(1.5, "x"); }));
    const auto type = request.headers.value("Content-Type");
    ASSERT_TRUE(type);
    const std::string boundary = type->substr(std::string("multipart/form-data; boundary=").size());
    EXPECT_EQ(request.body, "MIME-Version: 1.0\r\n--" + boundary +
                                "\r\nContent-Disposition: form-data; name=\"x\"\r\n"
                                "Content-Type: text/plain\r\n\r\n1.5\r\n--" +
                                boundary + "--\r\n");
    EXPECT_EQ(request.headers.value("Content-Length"), std::to_string(request.body.size()));
}

}  // namespace
}  // namespace wv
