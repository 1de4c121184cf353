#pragma once

#include <cstddef>
#include <string>

namespace torven {

// The next item of a comma-separated list from position on: blanks before it are skipped,
// it runs to the next comma or the end. Empty when nothing is left or a comma follows.
// position advances past the item and the comma after it.
std::string nextListItem(const std::string& list, std::size_t& position);

}  // namespace torven
