#include <gtest/gtest.h>

#include <array>
#include <string>

#include "config/MetaDataList.h"

namespace torven {
namespace {

MetaDataList siteList() {
    MetaDataList list;
    list.registerKeywords(siteKeywords);
    return list;
}

void set(MetaDataList& list, const std::string& name, const std::string& value) {
    std::string message;
    ASSERT_TRUE(list.setValue(MetaDataEntry{name, value}, message)) << message;
}

TEST(MetaDataList, SiteKeywordsRegisterInTableOrderWithEmptyValues) {
    const MetaDataList list = siteList();
    ASSERT_EQ(list.count(), 4);
    const std::array<const char*, 4> names{"Site", "Longitude", "Latitude", "Comments"};
    const std::array<bool, 4> required{true, true, true, false};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.entries()[i].name, names[i]);
        EXPECT_EQ(list.entries()[i].value, "");
        EXPECT_EQ(list.entries()[i].required, required[i]);
    }
}

TEST(MetaDataList, RegistrationStopsAtARowWithoutAName) {
    const std::array<MetaDataKeyword, 3> table{
        {{"A", "", true}, {nullptr, nullptr, false}, {"B", "", false}}};
    MetaDataList list;
    list.registerKeywords(table);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.entries()[0].name, "A");
}

TEST(MetaDataList, AddEntryAppendsAndConfirms) {
    MetaDataList list;
    std::string message;
    EXPECT_TRUE(list.addEntry("Name", "Value", true, message));
    EXPECT_EQ(message, "Name = Value");
    EXPECT_TRUE(list.addEntry("Name", "", false, message));
    EXPECT_EQ(message, "Name = ");
    EXPECT_EQ(list.count(), 2);
}

TEST(MetaDataList, SetValueIgnoresLetterCaseAndConfirmsTheNameAsRead) {
    MetaDataList list = siteList();
    std::string message;
    EXPECT_TRUE(list.setValue(MetaDataEntry{"latitude", "40.1"}, message));
    EXPECT_EQ(message, "latitude = 40.1");
    EXPECT_EQ(list.entries()[2].name, "Latitude");
    EXPECT_EQ(list.entries()[2].value, "40.1");
}

TEST(MetaDataList, TheLastValueSetStays) {
    MetaDataList list = siteList();
    set(list, "Site", "First");
    set(list, "SITE", "Second");
    std::string value;
    EXPECT_TRUE(list.getValue("site", value));
    EXPECT_EQ(value, "Second");
}

TEST(MetaDataList, SetValueFailures) {
    MetaDataList empty;
    std::string message;
    EXPECT_FALSE(empty.setValue(MetaDataEntry{"Site", "x"}, message));
    EXPECT_EQ(message, "Software problem: Name-Value list empty / (not initialized)");

    MetaDataList list = siteList();
    EXPECT_FALSE(list.setValue(MetaDataEntry{"DEVICE", "DI-194RS"}, message));
    EXPECT_EQ(message, "'DEVICE' is not a valid keyword");
    EXPECT_EQ(list.toText("# ", "\n"), "");
}

TEST(MetaDataList, GetValue) {
    MetaDataList list = siteList();
    std::string value = "stale";
    EXPECT_TRUE(list.getValue("Comments", value));
    EXPECT_EQ(value, "");
    set(list, "Comments", "roof mast");
    EXPECT_TRUE(list.getValue("COMMENTS", value));
    EXPECT_EQ(value, "roof mast");
    value = "stale";
    EXPECT_FALSE(list.getValue("Altitude", value));
    EXPECT_EQ(value, "");
    value = "stale";
    EXPECT_FALSE(MetaDataList{}.getValue("Site", value));
    EXPECT_EQ(value, "");
}

TEST(MetaDataList, ToTextOfAHeader) {
    MetaDataList list = siteList();
    set(list, "Site", "North Ridge");
    set(list, "Longitude", "-105.27");
    set(list, "Latitude", "40.01");
    EXPECT_EQ(list.toText("# ", "\n"),
              "# Site = North Ridge\n# Longitude = -105.27\n# Latitude = 40.01");
    set(list, "Comments", "roof");
    EXPECT_EQ(list.toText("", ", "),
              "Site = North Ridge, Longitude = -105.27, Latitude = 40.01, Comments = roof");
}

TEST(MetaDataList, ToTextPutsTheSeparatorBeforeEveryEntryButTheListsFirst) {
    MetaDataList list = siteList();
    set(list, "Latitude", "40.01");
    EXPECT_EQ(list.toText("# ", "\n"), "\n# Latitude = 40.01");
    set(list, "Longitude", "-105.27");
    EXPECT_EQ(list.toText("# ", "\n"), "\n# Longitude = -105.27\n# Latitude = 40.01");
}

TEST(MetaDataList, ToTextOfEmptyLists) {
    EXPECT_EQ(MetaDataList{}.toText("# ", "\n"), "# ERROR? List = Empty");
    EXPECT_EQ(siteList().toText("# ", "\n"), "");
}

TEST(MetaDataList, ClearAndRegisterAgainStartsFromScratch) {
    MetaDataList list = siteList();
    set(list, "Site", "Old");
    list.clear();
    EXPECT_EQ(list.count(), 0);
    list.registerKeywords(siteKeywords);
    EXPECT_EQ(list.count(), 4);
    std::string value;
    EXPECT_TRUE(list.getValue("Site", value));
    EXPECT_EQ(value, "");
}

TEST(MetaDataList, FormatMetaDataLine) {
    EXPECT_EQ(formatMetaDataLine("UTC_Offset", "-05:00"), "# UTC_Offset = -05:00\n");
    EXPECT_EQ(formatMetaDataLine("", ""), "#  = \n");
}

TEST(MetaDataList, NamesEqualFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(namesEqual("Latitude", "LATITUDE"));
    EXPECT_TRUE(namesEqual("Date_Installed-2", "date_installed-2"));
    EXPECT_TRUE(namesEqual("", ""));
    EXPECT_FALSE(namesEqual("Site", "Sites"));
    EXPECT_FALSE(namesEqual("[", "{"));  // differ by the case bit, but are no letters
    EXPECT_FALSE(namesEqual("@", "`"));
    EXPECT_FALSE(namesEqual("\xc9", "\xe9"));
}

}  // namespace
}  // namespace torven
