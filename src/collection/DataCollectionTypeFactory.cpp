#include "collection/DataCollectionTypeFactory.h"

#include "collection/KoraliVxCollectionType.h"

namespace torven {

const std::string dataCollectionTypeName = "KORALI-VX";

std::unique_ptr<DataCollectionType> createDataCollectionType(const std::string& typeName) {
    if (typeName == dataCollectionTypeName)
        return std::make_unique<KoraliVxCollectionType>();
    return nullptr;
}

}  // namespace torven
