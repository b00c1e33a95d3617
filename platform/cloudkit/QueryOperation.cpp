#include "platform/cloudkit/QueryOperation.h"

#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

std::function<void()> QueryOperation::perform(const ServerAccess& access) {
    QueryPage page;
    if (access.backend) {
        page = access.backend->query(access.caller, scope(), query_, cursor_, resultsLimit_);
    } else {
        page.error = ContainerCore::unavailableError(access);
    }
    return [this, page = std::move(page)] {
        if (recordFetched_) {
            for (const Record& record : page.records) recordFetched_(record);
        }
        if (completion_) completion_(page.cursor, page.error);
    };
}

}  // namespace wv::ck
