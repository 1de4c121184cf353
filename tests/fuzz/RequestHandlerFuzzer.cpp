// Arbitrary bytes as a remote status request and as the names in the station's state: the
// first line is "METHOD PATH[?QUERY]", the next lines header fields "Name: value", and the
// text after an empty line the site and stream IDs. Whatever arrives, the answer is one of
// the few the handler knows, a page only for GET or HEAD of its three paths with the right
// token, never a word of the request echoed back, and the names of the station escaped on the
// page (it has the markup of the same page with plain names).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzTarget.h"
#include "remote/DayBins.h"
#include "remote/StatusPage.h"
#include "remote/StatusRequestHandler.h"

namespace torven {
namespace {

using fuzz::check;

constexpr const char* token = "fuzz-token";

std::string_view nextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
}

platform::HttpRequest requestOf(std::string_view& text) {
    platform::HttpRequest request;
    const std::string_view first = nextLine(text);
    const std::size_t space = first.find(' ');
    request.method = std::string(first.substr(0, space));
    const std::string_view target = space == std::string_view::npos ? "" : first.substr(space + 1);
    const std::size_t question = target.find('?');
    request.path = std::string(target.substr(0, question));
    if (question != std::string_view::npos)
        request.query = std::string(target.substr(question + 1));
    for (std::string_view line = nextLine(text); !line.empty(); line = nextLine(text)) {
        const std::size_t colon = line.find(':');
        std::string_view value = colon == std::string_view::npos ? "" : line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        request.headers.emplace_back(line.substr(0, colon), value);
    }
    return request;
}

StatusSnapshot snapshotNamed(std::string_view names) {
    StatusSnapshot snapshot;
    snapshot.mode = "DATALOG";
    snapshot.site = std::string(nextLine(names));
    snapshot.configurationError = std::string(nextLine(names));
    DeviceSnapshot device;
    device.port = std::string(nextLine(names));
    device.typeName = "DI-194RS";
    StreamSnapshot stream;
    stream.id = std::string(names);
    stream.status = "LOGGING";
    ChannelSnapshot channel;
    channel.number = 1;
    channel.value = 1.5;
    channel.valueText = "+1.500";
    channel.stream = stream;
    device.channels.push_back(channel);
    snapshot.devices.push_back(device);
    return snapshot;
}

bool authorized(const platform::HttpRequest& request) {
    const std::string* field = request.header("Authorization");
    return field != nullptr && *field == std::string("Bearer ") + token;
}

bool known(const std::string& path) {
    return path == "/" || path == "/metrics" || path == "/status.json";
}

void checkAnswer(const platform::HttpRequest& request, const platform::HttpResponse& response) {
    const bool readOnly = request.method == "GET" || request.method == "HEAD";
    const int expected = !authorized(request)  ? 401
                         : !readOnly           ? 405
                         : known(request.path) ? 200
                                               : 404;
    check(response.status == expected, "401, then 405, then 404 or 200, in that order");
    // A fixed text per status: nothing of the request is echoed back.
    const char* errorText = response.status == 401   ? "Unauthorized\n"
                            : response.status == 405 ? "Method Not Allowed\n"
                            : response.status == 404 ? "Not Found\n"
                                                     : nullptr;
    if (errorText != nullptr)
        check(response.body == errorText, "an error answer is its status's fixed text");
}

// Markup characters counted outside the names: a name that brought its own would add some.
std::array<std::size_t, 3> markupCount(const std::string& page) {
    return {static_cast<std::size_t>(std::count(page.begin(), page.end(), '<')),
            static_cast<std::size_t>(std::count(page.begin(), page.end(), '>')),
            static_cast<std::size_t>(std::count(page.begin(), page.end(), '"'))};
}

// Whatever the names hold, the page has the markup of the same page with plain names.
void checkEscaped(const StatusSnapshot& snapshot) {
    StatusSnapshot plain = snapshot;
    for (std::string* name : {&plain.site, &*plain.configurationError, &plain.devices[0].port,
                              &plain.devices[0].channels[0].stream->id})
        *name = std::string(name->size(), 'x');
    check(
        markupCount(statusPage(snapshot, DayPlots{})) == markupCount(statusPage(plain, DayPlots{})),
        "the names of the station are escaped on the page");
}

}  // namespace
}  // namespace torven

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torven;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::HttpRequest request = requestOf(text);
    const StatusSnapshot snapshot = snapshotNamed(text);
    const StatusRequestHandler handler(
        [&snapshot] { return snapshot; },
        [](const StatusSnapshot& state) { return statusPage(state, DayPlots{}); },
        std::string(token));
    checkAnswer(request, handler.handle(request));
    checkEscaped(snapshot);
    return 0;
}
