#include "cloud/iCloudQuery.h"

namespace wv {

iCloudQuery::iCloudQuery(ck::Database& cloudDB) : cloudDB_(cloudDB) {}

void iCloudQuery::start(const ck::Query& query, Completion completion) {
    if (isBusy) {
        if (completion) completion(false);
        return;
    }
    isBusy = true;
    fetchedRecordsNumber = 0;
    onAllQueriesCompleted = std::move(completion);
    run(std::make_shared<ck::QueryOperation>(query));
}

void iCloudQuery::run(std::shared_ptr<ck::QueryOperation> operation) {
    operation->setResultsLimit(resultsLimit);
    if (onQueryStep) operation->setQueryCompletionBlock(onQueryStep);
    operation->setRecordFetchedBlock([this](const ck::Record& record) {
        ++fetchedRecordsNumber;
        if (onRecordFetched) onRecordFetched(record);
    });
    cloudDB_.addOperation(std::move(operation));
}

}  // namespace wv
