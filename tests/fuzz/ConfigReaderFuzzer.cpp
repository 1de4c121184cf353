// Arbitrary bytes as the content of the site configuration file. They are read item by item
// to the end, with the rules every item and marker must keep, and then loaded whole, twice
// into the same site as a reload would: an accepted configuration must pass every check the
// loader promises, and the reload must build the same again.
//
// Logged lines go to the event log folder beside the working directory (..\EventLog\), or
// to the console's screen where there is none: start the fuzzer in a folder without one, as
// tests/fuzz/run-fuzzers.sh and the replay test do, so that no file grows with every input.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "config/NameValueReader.h"
#include "config/SiteConfiguration.h"
#include "config/TextReader.h"
#include "devices/DeviceChannel.h"
#include "eventlog/EventLog.h"
#include "fuzz/FuzzTarget.h"

namespace torven {
namespace {

using fuzz::check;

void checkPair(const MetaDataEntry& item) {
    check(item.name.size() <= maxItemLength && item.value.size() <= maxItemLength,
          "names and values are cut to the item length");
    check(item.name.find_first_of(" =") == std::string::npos, "a name holds no space or '='");
    check(item.value.find_first_of(",\n\r") == std::string::npos,
          "a value holds no comma or line end");
    check(!item.name.empty() || item.value.starts_with("="),
          "only an item that starts with '=' has no name");
}

// Every read takes at least one character until the end, so the end comes within one read
// per character of the text.
void readEveryItem(const std::string& content) {
    TextReader reader(content);
    MetaDataEntry item;
    item.required = true;
    for (std::size_t reads = 0; reads <= content.size(); ++reads) {
        const bool pair = readNameValue(reader, item);
        check(item.required, "the reader leaves the required flag alone");
        if (pair) {
            checkPair(item);
            continue;
        }
        check(item.name == "FILE", "a marker is named FILE");
        if (item.value == "EOF") {
            check(reader.atEnd(), "EOF comes only at the end");
            check(!readNameValue(reader, item) && item.value == "EOF", "EOF stays EOF");
            return;
        }
        check(item.value == "EOL" || item.value == "COMMENT", "a marker is EOL or COMMENT");
    }
    fuzz::fail("the reader did not come to the end of the text");
}

bool isValidIdCharacter(char c) {
    const auto code = static_cast<unsigned char>(c);
    return c != '/' && c != '\\' && code >= 0x20 && code != 0x7F;
}

void checkAccepted(const SiteConfiguration& site) {
    check(site.siteMetaData().count() == static_cast<int>(siteKeywords.size()),
          "the site list holds the site keywords");
    const DeviceRegistry& devices = site.modeController.devices;
    for (int index = 0; index < devices.count(); ++index) {
        check(devices.count() == 1 || devices.deviceAt(index)->port() != "COM*",
              "COM* only on the only device");
    }
    const DataLogger& streams = site.modeController.dataLogger;
    std::set<std::string> ids;
    for (int index = 0; index < streams.count(); ++index) {
        const DataCollectionType& stream = *streams.typeAt(index);
        const std::string id = stream.id();
        check(!id.empty(), "a stream has an ID");
        check(ids.insert(id).second, "stream IDs differ");
        for (const char c : id)
            check(isValidIdCharacter(c), "an ID can name a file");
        check(stream.boundChannel() != nullptr, "a stream records a channel");
        check(stream.boundChannel()->collectionType() == &stream,
              "the channel links back to its stream, also after a reload");
        check(stream.headerText(site).ends_with("\n"), "a header ends its last line");
    }
}

struct LoadOutcome {
    bool accepted;
    int devices;
    int streams;
    std::string siteText;

    bool operator==(const LoadOutcome&) const = default;
};

LoadOutcome load(SiteConfiguration& site, const std::string& content) {
    TextReader reader(content);
    const bool accepted = site.loadFrom(reader);
    if (accepted)
        checkAccepted(site);
    return {accepted, site.modeController.devices.count(), site.modeController.dataLogger.count(),
            site.siteMetaDataText("# ", "\n")};
}

}  // namespace
}  // namespace torven

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // An unknown data type is a FATAL event; here it must not end the run.
    torven::programEventLog().setFatalExit([] {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torven;
    const std::string content(reinterpret_cast<const char*>(data), size);
    readEveryItem(content);
    SiteConfiguration site;
    const LoadOutcome first = load(site, content);
    check(load(site, content) == first, "a reload of the same text builds the same");
    return 0;
}
