#include "cloud/WVCloudLessonFetcher.h"

#include <algorithm>
#include <memory>
#include <set>
#include <tuple>

#include "platform/cloudkit/FetchRecordsOperation.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {

enum class Kind { Text, Real, Integer };

// The record keys a row is made of, in the row's order, with the column each one fills.
struct Column {
    const char* key;
    Kind kind;
    const char* column;
};
constexpr Column kColumns[] = {
    {"localTime", Kind::Text, "timestamp"},
    {"time", Kind::Real, "time"},
    {"speed", Kind::Integer, "speed"},
    {"mistakes", Kind::Integer, "mistakes"},
    {"mistakesChars", Kind::Text, "mistakesChars"},
    {"langId", Kind::Integer, "langId"},
    {"layoutIdx", Kind::Integer, "layoutIdx"},
    {"diffLvl", Kind::Integer, "diffLvl"},
    {"diffAuto", Kind::Integer, "diffAuto"},
    {"accuracy", Kind::Integer, "accuracy"},
    {"hasDelete", Kind::Integer, "hasDelete"},
    {"hasNumbers", Kind::Integer, "hasNumbers"},
    {"hasCapitals", Kind::Integer, "hasCapitals"},
    {"hasPunctuation", Kind::Integer, "hasPunctuation"},
};

}  // namespace

WVCloudLessonFetcher::WVCloudLessonFetcher(ck::Database& cloudDB, LessonStats& localStats)
    : iCloudQuery(cloudDB),
      cloudSyncDB_(localStats.db()),
      pendingNames_(localStats.db()),
      localStats_(localStats) {
    onRecordFetched = [this](const ck::Record& record) {
        if (recordFetched(record)) fetchedRecords.push_back(record);
    };
    onQueryStep = [this](const auto& cursor, const auto& error) { queryStep(cursor, error); };
}

std::string WVCloudLessonFetcher::description() const {
    return "FETCHED " + std::to_string(fetchedRecords.size()) + "; SAVED " +
           std::to_string(savedLessonNumber);
}

void WVCloudLessonFetcher::reset() {
    fetchedRecords.clear();
    savedLessonNumber = 0;
    runFailed_ = false;
}

bool WVCloudLessonFetcher::recordFetched(const ck::Record& record) {
    const std::string& name = record.recordID().recordName();
    Log::print("WVCloud RECORD fetched: " + name);
    if (cloudSyncDB_.hasRecordName(name)) {
        Log::print("WVCloud RECORD skipping: " + name);
        return false;
    }
    if (auto own = pendingNames_.localIdFor(name)) {
        // Our own send, whose confirmation never arrived: the server holds it, so it is linked
        // to the row it came from rather than stored a second time.
        auto transaction = localStats_.db().transaction();
        cloudSyncDB_.insert(*own, name);
        pendingNames_.remove(name);
        transaction.commit();
        Log::print("WVCloud RECORD skipping: " + name);
        return false;
    }
    return true;
}

void WVCloudLessonFetcher::queryStep(const std::optional<ck::QueryCursor>& cursor,
                                     const std::optional<ck::Error>& error) {
    Log::print("----------------------");
    if (error) {
        Log::print("WVCloud Error: deleteQueryStep - " + error->description());
        // A run that missed pages must not look complete: what it stored would end the full
        // download for good, with the missing records never fetched.
        runFailed_ = true;
    }
    if (cursor && !error) {
        run(std::make_shared<ck::QueryOperation>(*cursor));
        return;
    }
    isBusy = false;
    if (onAllQueriesCompleted) onAllQueriesCompleted(!runFailed_);
}

void WVCloudLessonFetcher::allQueriesCompleted(bool ok, const Next& next) {
    if (ok) ok = storeFetchedRecords();
    if (next) next(ok);
}

void WVCloudLessonFetcher::fetchChangedRecords(const std::vector<ck::RecordID>& recordIDs,
                                               const Next& next) {
    if (isBusy) {
        if (next) next(false);
        return;
    }
    reset();
    std::vector<ck::RecordID> unique;
    std::set<ck::RecordID> seen;
    // A linked record is here already (most often one this installation sent): fetching it
    // again would only be skipped.
    for (const auto& id : recordIDs)
        if (seen.insert(id).second && !cloudSyncDB_.hasRecordName(id.recordName()))
            unique.push_back(id);
    if (unique.empty()) {
        if (next) next(true);
        return;
    }
    // Collected apart from the fields, so a full fetch that starts meanwhile cannot mix its
    // records into this step's.
    auto collected = std::make_shared<std::vector<ck::Record>>();
    auto operation = std::make_shared<ck::FetchRecordsOperation>(std::move(unique));
    operation->setPerRecordCompletionBlock(
        [this, collected](const auto& record, const auto&, const auto&) {
            if (record && recordFetched(*record)) collected->push_back(*record);
        });
    operation->setFetchRecordsCompletionBlock(
        [this, collected, next](const auto&, const std::optional<ck::Error>& error) {
            bool failed = false;
            if (error) {
                // A record deleted since its notification is simply not there any more.
                failed = error->code() != ck::ErrorCode::PartialFailure;
                for (const auto& item : error->partialErrors)
                    if (item.code() != ck::ErrorCode::UnknownItem) failed = true;
            }
            if (failed) {
                Log::print("WVCloud fetch records error: " + error->description());
                if (next) next(false);
                return;
            }
            fetchedRecords = std::move(*collected);
            const bool ok = storeFetchedRecords();
            if (next) next(ok);
        });
    cloudDB().addOperation(operation);
}

WVCloudLessonFetcher::OrderKey WVCloudLessonFetcher::orderKey(const ck::Record& record) const {
    std::optional<Date> date;
    if (auto text = record.stringForKey("localTime")) date = timestamps_.read(*text);
    return {!date.has_value(), date.value_or(Date{}), record.int64ForKey("localID").value_or(0),
            record.recordID().recordName()};
}

bool WVCloudLessonFetcher::recordPrecedes(const ck::Record& a, const ck::Record& b) const {
    return orderKey(a) < orderKey(b);
}

std::optional<RowDictionary> WVCloudLessonFetcher::rowForRecord(const ck::Record& record,
                                                                std::string* why) const {
    RowDictionary row;
    for (const auto& c : kColumns) {
        const ck::FieldValue* value = record.objectForKey(c.key);
        if (!value) {
            if (why) *why = std::string("no \"") + c.key + "\"";
            return std::nullopt;
        }
        const bool fits = (c.kind == Kind::Text && std::holds_alternative<std::string>(*value)) ||
                          (c.kind == Kind::Real && std::holds_alternative<double>(*value)) ||
                          (c.kind == Kind::Integer && std::holds_alternative<int64_t>(*value));
        if (!fits) {
            if (why)
                *why =
                    std::string("\"") + c.key + "\" is " + std::string(ck::fieldTypeName(*value));
            return std::nullopt;
        }
        std::visit([&](const auto& v) { row.emplace_back(c.column, sqlite::Value(v)); }, *value);
    }
    if (!timestamps_.read(*record.stringForKey("localTime"))) {
        if (why) *why = "\"localTime\" is no time";
        return std::nullopt;
    }
    const int64_t language = *record.int64ForKey("langId");
    if (language < 0 || language > 9 || !languageFromRawValue(int(language))) {
        if (why) *why = "\"langId\" is no language";
        return std::nullopt;
    }
    return row;
}

bool WVCloudLessonFetcher::storeFetchedRecords() {
    // Each record's key is made once: parsing times inside the comparison would cost a
    // parse per comparison.
    std::vector<std::pair<OrderKey, const ck::Record*>> keyed;
    keyed.reserve(fetchedRecords.size());
    for (const auto& record : fetchedRecords) keyed.emplace_back(orderKey(record), &record);
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    // What is linked or pending now, read once: another step may have stored some since
    // they were fetched.
    const auto linked = cloudSyncDB_.linkedRecordNames();
    std::set<std::string> pending;
    for (const auto& [id, name] : pendingNames_.all()) pending.insert(name);

    std::vector<RowDictionary> rows;
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const auto& [key, record] : keyed) {
        const std::string& name = record->recordID().recordName();
        if (!taken.insert(name).second || linked.count(name) || pending.count(name)) continue;
        std::string why;
        auto row = rowForRecord(*record, &why);
        if (!row) {
            Log::print("WVCloud RECORD unreadable: " + name + " (" + why + ")");
            continue;
        }
        rows.push_back(std::move(*row));
        names.push_back(name);
    }
    if (rows.empty()) return true;
    auto stored = localStats_.addLessonsTogether(rows, [&](size_t i, const LessonInfo& lesson) {
        return cloudSyncDB_.insert(lesson.id, names[i]).has_value();
    });
    if (!stored) {
        Log::print("WVCloud can't store the fetched records");
        return false;
    }
    savedLessonNumber += int64_t(stored->size());
    for (const auto& name : names) Log::print("WVCloud added locally: " + name);
    return true;
}

}  // namespace wv
