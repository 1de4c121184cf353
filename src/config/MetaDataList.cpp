#include "config/MetaDataList.h"

#include <array>
#include <new>

#include "eventlog/EventLog.h"

namespace torven {

namespace {

constexpr std::array<MetaDataKeyword, 4> siteKeywordTable{{
    {"Site", "", true},
    {"Longitude", "", true},
    {"Latitude", "", true},
    {"Comments", "", false},
}};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const std::span<const MetaDataKeyword> siteKeywords{siteKeywordTable};

bool namesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string formatMetaDataLine(const std::string& name, const std::string& value) {
    return "# " + name + " = " + value + "\n";
}

void MetaDataList::registerKeywords(std::span<const MetaDataKeyword> keywords) {
    for (const MetaDataKeyword& keyword : keywords) {
        if (keyword.name == nullptr)
            return;
        std::string message;
        if (!addEntry(keyword.name, "", keyword.required, message)) {
            logEvent(LogLevel::FATAL, message);
            return;
        }
    }
}

bool MetaDataList::addEntry(const std::string& name, const std::string& value, bool required,
                            std::string& message) {
    try {
        entries_.push_back(MetaDataEntry{name, value, required});
    } catch (const std::bad_alloc&) {
        message = "New() failed in Add MetaData for '" + name + "'";
        return false;
    }
    message = name + " = " + value;
    return true;
}

bool MetaDataList::setValue(const MetaDataEntry& item, std::string& message) {
    if (entries_.empty()) {
        message = "Software problem: Name-Value list empty / (not initialized)";
        return false;
    }
    for (MetaDataEntry& entry : entries_) {
        if (namesEqual(entry.name, item.name)) {
            entry.value = item.value;
            message = item.name + " = " + item.value;
            return true;
        }
    }
    message = "'" + item.name + "' is not a valid keyword";
    return false;
}

bool MetaDataList::getValue(const std::string& name, std::string& value) const {
    value.clear();
    for (const MetaDataEntry& entry : entries_) {
        if (namesEqual(entry.name, name)) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

std::string MetaDataList::toText(const std::string& prefix, const std::string& separator) const {
    if (entries_.empty())
        return "# ERROR? List = Empty";
    std::string text;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const MetaDataEntry& entry = entries_[i];
        if (entry.value.empty())
            continue;
        // The separator goes before every entry but the list's first, so an empty first
        // entry leaves a separator in front of the first rendered one.
        if (i > 0)
            text += separator;
        text += prefix + entry.name + " = " + entry.value;
    }
    return text;
}

}  // namespace torven
