#pragma once

#include <span>
#include <string>
#include <vector>

namespace torven {

// One row of a keyword table: a name the list accepts and whether it is required.
struct MetaDataKeyword {
    const char* name;
    const char* initialValue;
    bool required;
};

// One named value.
struct MetaDataEntry {
    std::string name;
    std::string value;
    bool required = false;
};

// The site's keywords: Site, Longitude, Latitude (required) and Comments.
extern const std::span<const MetaDataKeyword> siteKeywords;

// An ordered list of named text values. Which names it accepts is fixed when it is set up
// from a keyword table; names are compared without regard to the letter case of A-Z.
class MetaDataList {
  public:
    // Adds one empty entry per keyword, in table order. An entry that cannot be added is a
    // FATAL event.
    void registerKeywords(std::span<const MetaDataKeyword> keywords);
    // Appends an entry; message is "name = value".
    bool addEntry(const std::string& name, const std::string& value, bool required,
                  std::string& message);
    // Sets the value of the entry named like item (any letter case). message confirms it as
    // "name = value" (the name as read) or says why it failed.
    bool setValue(const MetaDataEntry& item, std::string& message);
    // The value of the entry of that name (true even when empty); false and empty when the
    // list has no such entry.
    bool getValue(const std::string& name, std::string& value) const;
    // prefix + "name = value" for every entry with a value, separated by separator;
    // "# ERROR? List = Empty" for a list without entries.
    std::string toText(const std::string& prefix, const std::string& separator) const;
    void clear() { entries_.clear(); }

    int count() const { return static_cast<int>(entries_.size()); }
    const std::vector<MetaDataEntry>& entries() const { return entries_; }

  private:
    std::vector<MetaDataEntry> entries_;
};

// One header line: "# " + name + " = " + value + line feed.
std::string formatMetaDataLine(const std::string& name, const std::string& value);

// Compares two names with the ASCII letters A-Z equal to a-z.
bool namesEqual(const std::string& a, const std::string& b);

}  // namespace torven
