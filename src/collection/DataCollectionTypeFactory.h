#pragma once

#include <memory>
#include <string>

#include "collection/DataCollectionType.h"

namespace torven {

// "KORALI-VX": the one data-collection type's name.
extern const std::string dataCollectionTypeName;

// A new stream of exactly that type name (case-sensitive), or none.
std::unique_ptr<DataCollectionType> createDataCollectionType(const std::string& typeName);

}  // namespace torven
