#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/ListItems.h"

namespace torven {
namespace {

// Every item up to the first empty one, as the device scan walks the list.
std::vector<std::string> walk(const std::string& list) {
    std::vector<std::string> items;
    std::size_t position = 0;
    for (std::string item = nextListItem(list, position); !item.empty();
         item = nextListItem(list, position)) {
        items.push_back(item);
    }
    return items;
}

TEST(ListItemsTest, SingleItemAdvancesPastItsEnd) {
    std::size_t position = 0;
    EXPECT_EQ(nextListItem("DI-194RS", position), "DI-194RS");
    EXPECT_EQ(position, 9u);
    EXPECT_EQ(nextListItem("DI-194RS", position), "");
}

TEST(ListItemsTest, WalksCommaSeparatedLists) {
    const struct {
        const char* list;
        std::vector<std::string> items;
    } cases[] = {
        {"DI-194RS", {"DI-194RS"}},
        {"A,B,C", {"A", "B", "C"}},
        {"A,B,", {"A", "B"}},
        {" \tA,\r\nB", {"A", "B"}},
        {"A,,B", {"A"}},  // an empty item ends the walk
        {",A", {}},
        {"   ", {}},
        {"", {}},
        {"A B,C", {"A B", "C"}},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(walk(entry.list), entry.items) << entry.list;
}

TEST(ListItemsTest, PositionBeyondTheListGivesNothing) {
    std::size_t position = 100;
    EXPECT_EQ(nextListItem("A,B", position), "");
    EXPECT_EQ(position, 100u);
}

}  // namespace
}  // namespace torven
