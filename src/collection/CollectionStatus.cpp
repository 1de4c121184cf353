#include "collection/CollectionStatus.h"

namespace torven {

std::string statusWord(CollectionStatus status) {
    switch (status) {
        case CollectionStatus::OffLine:
            return "OFF-LINE";
        case CollectionStatus::OnLine:
            return "ON-LINE";
        case CollectionStatus::Logging:
            return "LOGGING";
        case CollectionStatus::FileWriteError:
            return "FILE WRITE ERROR";
        case CollectionStatus::ComLinkOff:
            return "COM LINK OFF";
    }
    return "ERROR: Bad Status value (internal Software error)";
}

}  // namespace torven
