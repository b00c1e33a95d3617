#include "platform/cloudkit/Subscription.h"

#include "platform/cloudkit/RecordID.h"

namespace wv::ck {

Subscription::Subscription(std::string recordType, Predicate predicate, int options)
    : Subscription(RecordID::random().recordName(), std::move(recordType), predicate, options) {}

Subscription::Subscription(std::string subscriptionID, std::string recordType, Predicate predicate,
                           int options)
    : subscriptionID_(std::move(subscriptionID)),
      recordType_(std::move(recordType)),
      predicate_(predicate),
      options_(options) {}

}  // namespace wv::ck
