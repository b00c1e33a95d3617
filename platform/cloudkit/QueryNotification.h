#pragma once

#include <optional>
#include <string>

#include "platform/cloudkit/RecordID.h"

namespace wv::ck {

// One notification the server keeps for a subscriber. Only query notifications exist here;
// the type is kept so a reader can tell them from any other kind it is handed.
class QueryNotification {
  public:
    enum class Type { Query = 1, Other = 2 };
    enum Reason { RecordCreated = 1, RecordUpdated = 2, RecordDeleted = 3 };

    Type notificationType = Type::Query;
    std::string notificationID;
    std::string subscriptionID;
    std::string containerIdentifier;
    std::optional<RecordID> recordID;
    int queryNotificationReason = RecordCreated;

    bool isQueryNotification() const { return notificationType == Type::Query; }
};

}  // namespace wv::ck
