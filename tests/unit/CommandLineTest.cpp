#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace torven {
namespace {

struct GoodLine {
    std::vector<std::string> arguments;
    std::optional<std::string> address;
    std::uint16_t port;
    std::optional<std::string> tokenFile;
};

TEST(CommandLineTest, ReadsTheRemoteStatusOptions) {
    const std::vector<GoodLine> lines = {
        {{}, std::nullopt, 0, std::nullopt},
        {{"--http", "8080"}, "127.0.0.1", 8080, std::nullopt},
        {{"--http", "0.0.0.0:9100"}, "0.0.0.0", 9100, std::nullopt},
        {{"--http", "[::1]:1"}, "::1", 1, std::nullopt},
        {{"--http", "65535", "--http-token-file", "/etc/t"}, "127.0.0.1", 65535, "/etc/t"},
        {{"--http-token-file", "t", "--http", "10.0.0.2:80"}, "10.0.0.2", 80, "t"},
    };
    for (const GoodLine& expected : lines) {
        std::string problem;
        const std::optional<CommandLine> line = parseCommandLine(expected.arguments, problem);
        ASSERT_TRUE(line) << problem;
        EXPECT_FALSE(line->help);
        EXPECT_EQ(line->httpAddress, expected.address);
        EXPECT_EQ(line->httpPort, expected.port);
        EXPECT_EQ(line->tokenFile, expected.tokenFile);
    }
}

TEST(CommandLineTest, RefusesWhatItDoesNotUnderstandAndSaysWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
        {{"--htp", "80"}, "unknown option \"--htp\""},
        {{"8080"}, "unknown option \"8080\""},
        {{"--http"}, "--http needs a value"},
        {{"--http", "0"}, "--http wants PORT or ADDRESS:PORT"},
        {{"--http", "65536"}, "--http wants PORT"},
        {{"--http", "80x"}, "--http wants PORT"},
        {{"--http", "-1"}, "--http wants PORT"},
        {{"--http", ":80"}, "--http wants PORT"},
        {{"--http", "127.0.0.1:"}, "--http wants PORT"},
        {{"--http-token-file", "t"}, "--http-token-file needs --http"},
    };
    for (const auto& [arguments, reason] : lines) {
        std::string problem;
        EXPECT_FALSE(parseCommandLine(arguments, problem)) << arguments.back();
        EXPECT_EQ(problem.rfind(reason, 0), 0u) << problem;
    }
}

TEST(CommandLineTest, HelpListsEveryOption) {
    std::string problem;
    for (const char* option : {"--help", "-h"})
        EXPECT_TRUE(parseCommandLine({option}, problem)->help);
    for (const char* option :
         {"--http PORT", "--http ADDRESS:PORT", "--http-token-file FILE", "--help"}) {
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace torven
