#include "devices/ListItems.h"

#include <algorithm>

namespace torven {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string nextListItem(const std::string& list, std::size_t& position) {
    if (position >= list.size())
        return {};
    std::size_t start = position;
    while (start < list.size() && isBlank(list[start]))
        ++start;
    const std::size_t end = std::min(list.find(',', start), list.size());
    // Skipped blanks count towards the advance, so a blank after a comma does not shift the
    // next item.
    position = end + 1;
    return list.substr(start, end - start);
}

}  // namespace torven
