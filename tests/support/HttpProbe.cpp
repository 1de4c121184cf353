#include "support/HttpProbe.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "support/ProgramRun.h"

namespace torven::test {

namespace {

constexpr const char* maxSeconds = "20";

bool sameName(const std::string& left, const std::string& right) {
    return std::equal(
        left.begin(), left.end(), right.begin(), right.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

// "HTTP/1.1 200 OK" gives 200; 0 for anything else.
int statusOf(const std::string& headers) {
    const std::size_t space = headers.find(' ');
    if (!headers.starts_with("HTTP/") || space == std::string::npos)
        return 0;
    const std::string code = headers.substr(space + 1, 3);
    if (code.size() != 3 || !std::all_of(code.begin(), code.end(), ::isdigit))
        return 0;
    return std::stoi(code);
}

}  // namespace

std::optional<std::string> HttpAnswer::header(const std::string& name) const {
    for (std::size_t start = headers.find("\r\n"); start != std::string::npos;) {
        start += 2;
        const std::size_t end = headers.find("\r\n", start);
        const std::string line = headers.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && sameName(line.substr(0, colon), name)) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        start = end;
    }
    return std::nullopt;
}

std::string HttpProbe::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

HttpAnswer HttpProbe::request(const std::string& method, const std::string& path,
                              const std::vector<std::string>& headerLines) const {
    // The answer's head and body both on standard output (-i), the path sent as it is.
    std::vector<std::string> arguments{"curl",         "--silent",   "--show-error",
                                       "--include",    "--max-time", maxSeconds,
                                       "--path-as-is", "--noproxy",  "*"};
    if (method == "HEAD") {
        arguments.push_back("--head");
    } else if (method != "GET") {
        arguments.insert(arguments.end(), {"--request", method});
    }
    for (const std::string& line : headerLines)
        arguments.insert(arguments.end(), {"--header", line});
    arguments.push_back(url(path));

    const ProgramRun run = ProgramRun::toEnd(arguments, {.timeout = std::chrono::seconds(30)});
    HttpAnswer answer;
    const std::size_t headEnd = run.output.find("\r\n\r\n");
    answer.headers =
        run.output.substr(0, headEnd == std::string::npos ? run.output.size() : headEnd + 2);
    if (headEnd != std::string::npos)
        answer.body = run.output.substr(headEnd + 4);
    answer.status = statusOf(answer.headers);
    answer.error = run.errorText;
    return answer;
}

}  // namespace torven::test
