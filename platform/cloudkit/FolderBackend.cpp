#include "platform/cloudkit/FolderBackend.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <thread>
#include <unordered_map>

#include "platform/cloudkit/ByteReader.h"

namespace wv::ck {

namespace {

// How long a call waits for another installation's lock before it reports the store busy.
constexpr int kBusyWaitMs = 15000;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS changes(seq INTEGER PRIMARY KEY, at REAL NOT NULL,"
    " installation TEXT NOT NULL, account TEXT NOT NULL, operation TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS records(id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " scope TEXT NOT NULL, zone TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,"
    " change_tag TEXT NOT NULL, created_seq INTEGER NOT NULL, modified_seq INTEGER NOT NULL,"
    " creator TEXT NOT NULL, UNIQUE(scope, zone, name))",
    "CREATE INDEX IF NOT EXISTS records_by_type ON records(scope, type, id)",
    "CREATE TABLE IF NOT EXISTS fields(record INTEGER NOT NULL REFERENCES records(id)"
    " ON DELETE CASCADE, position INTEGER NOT NULL, key TEXT NOT NULL, type TEXT NOT NULL,"
    " value, PRIMARY KEY(record, key)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS subscriptions(id INTEGER PRIMARY KEY, scope TEXT NOT NULL,"
    " owner TEXT NOT NULL, subscription_id TEXT NOT NULL, record_type TEXT NOT NULL,"
    " predicate INTEGER NOT NULL, options INTEGER NOT NULL,"
    " content_available INTEGER NOT NULL, sound_name TEXT NOT NULL,"
    " seq INTEGER NOT NULL, UNIQUE(scope, subscription_id))",
    "CREATE TABLE IF NOT EXISTS notifications(id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " account TEXT NOT NULL, seq INTEGER NOT NULL, subscription_id TEXT NOT NULL,"
    " zone TEXT NOT NULL, record_name TEXT NOT NULL, reason INTEGER NOT NULL,"
    " originator TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS notifications_by_account ON notifications(account, id)",
    "CREATE TABLE IF NOT EXISTS installations(id TEXT PRIMARY KEY, account TEXT NOT NULL,"
    " registered INTEGER NOT NULL DEFAULT 0, push_cursor INTEGER NOT NULL DEFAULT 0,"
    " account_status INTEGER, network_down INTEGER NOT NULL DEFAULT 0,"
    " hold INTEGER NOT NULL DEFAULT 0, held INTEGER NOT NULL DEFAULT 0,"
    " first_seen REAL NOT NULL, last_seen REAL NOT NULL)",
    "CREATE TABLE IF NOT EXISTS keyvalues(account TEXT NOT NULL, key TEXT NOT NULL,"
    " value TEXT NOT NULL, size INTEGER NOT NULL, seq INTEGER NOT NULL,"
    " writer TEXT NOT NULL, PRIMARY KEY(account, key))",
    "CREATE TABLE IF NOT EXISTS faults(id INTEGER PRIMARY KEY, installation TEXT NOT NULL,"
    " kind TEXT NOT NULL, record_name TEXT NOT NULL, remaining INTEGER NOT NULL,"
    " error TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS log(id INTEGER PRIMARY KEY, at REAL NOT NULL,"
    " installation TEXT NOT NULL, account TEXT NOT NULL, operation TEXT NOT NULL,"
    " detail TEXT NOT NULL, outcome TEXT NOT NULL)",
};

double wallTime() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string scopeKey(const Caller& caller, Scope scope) {
    return scope == Scope::Private ? "private:" + caller.account : std::string("public");
}

std::string changeTag(int64_t seq) {
    char buffer[24];
    snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(seq));
    return buffer;
}

// A prepared statement kept for the life of the connection; each use starts from a reset.
class Statement {
  public:
    explicit Statement(sqlite3_stmt* statement) : s_(statement) {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    ~Statement() { sqlite3_reset(s_); }
    Statement& bind(int index, int64_t v) {
        sqlite3_bind_int64(s_, index, v);
        return *this;
    }
    Statement& bind(int index, double v) {
        sqlite3_bind_double(s_, index, v);
        return *this;
    }
    Statement& bind(int index, const std::string& v) {
        sqlite3_bind_text(s_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindNull(int index) {
        sqlite3_bind_null(s_, index);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(s_); }
    int64_t integer(int column) const { return sqlite3_column_int64(s_, column); }
    double real(int column) const { return sqlite3_column_double(s_, column); }
    bool isNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }
    int type(int column) const { return sqlite3_column_type(s_, column); }
    std::string text(int column) const {
        const auto* p = sqlite3_column_text(s_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<size_t>(sqlite3_column_bytes(s_, column)))
                 : std::string();
    }
    int columns() const { return sqlite3_column_count(s_); }
    std::string columnName(int column) const { return sqlite3_column_name(s_, column); }

  private:
    sqlite3_stmt* s_;
};

// Thrown inside a call to leave its transaction; caught at the call's edge and turned into
// the call's error. Never crosses the Backend interface.
struct Failure {
    Error error;
};

struct InstallationState {
    std::optional<AccountStatus> status;
    bool networkDown = false;
    bool registered = false;
    int64_t pushCursor = 0;
    bool hold = false;
};

}  // namespace

struct FolderBackend::Impl {
    std::filesystem::path file;
    std::string container;
    sqlite3* db = nullptr;
    std::optional<Error> openError;
    bool opened = false;
    std::atomic<bool> interrupted{false};
    std::unordered_map<std::string, sqlite3_stmt*> statements;

    ~Impl() { close(); }

    void close() {
        for (auto& [sql, statement] : statements) sqlite3_finalize(statement);
        statements.clear();
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }

    std::string named(const std::string& what) const { return what + ": " + file.string(); }

    [[noreturn]] void fail(int rc, const std::string& what) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        const int primary = rc & 0xFF;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
            throw Failure{Error(ErrorCode::ServiceUnavailable, what + ": " + message)};
        }
        if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
            throw Failure{Error(ErrorCode::BadContainer, named("damaged store (" + message + ")"))};
        }
        throw Failure{Error(ErrorCode::InternalError, what + ": " + message)};
    }

    Statement statement(const std::string& sql) {
        auto it = statements.find(sql);
        if (it == statements.end()) {
            sqlite3_stmt* s = nullptr;
            const int rc =
                sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
            if (rc != SQLITE_OK) fail(rc, "sqlite3_prepare_v3 failed");
            it = statements.emplace(sql, s).first;
        }
        return Statement(it->second);
    }

    void exec(const std::string& sql) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        if (message) sqlite3_free(message);
        if (rc != SQLITE_OK) fail(rc, "sqlite3_exec failed (" + sql.substr(0, 40) + ")");
    }

    void run(Statement& s, const char* what) {
        const int rc = s.step();
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) fail(rc, what);
    }

    bool row(Statement& s, const char* what) {
        const int rc = s.step();
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) fail(rc, what);
        return false;
    }

    // One transaction; rolled back unless committed. A call that only reads writes nothing
    // but its log line and the installation's last sighting: those need not wait for the
    // disk, so its commit does not sync (the store stays whole; the next synced commit makes
    // them durable too).
    class Transaction {
      public:
        Transaction(Impl& impl, bool immediate, bool durable = true)
            : impl_(impl), durable_(durable) {
            if (!durable_) impl_.exec("PRAGMA synchronous=NORMAL");
            impl_.exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
        }
        ~Transaction() {
            if (!done_) sqlite3_exec(impl_.db, "ROLLBACK", nullptr, nullptr, nullptr);
            if (!durable_)
                sqlite3_exec(impl_.db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        }
        void commit() {
            impl_.exec("COMMIT");
            done_ = true;
        }

      private:
        Impl& impl_;
        bool durable_;
        bool done_ = false;
    };

    // A store that another installation holds locked now may be free at the next call; only
    // a refusal (a stranger's or a damaged file, a folder that cannot be made) is kept.
    std::optional<Error> ensureOpen() {
        if (opened || openError) return openError;
        std::optional<Error> error = openStore();
        if (error && error->code() != ErrorCode::ServiceUnavailable) openError = error;
        return error;
    }

    std::optional<Error> openStore();
    void switchToWal();
    void createSchema();

    std::string meta(const std::string& key) {
        auto s = statement("SELECT value FROM meta WHERE key = ?");
        s.bind(1, key);
        return row(s, "reading meta") ? s.text(0) : std::string();
    }

    int64_t epoch() { return std::stoll(meta("epoch")); }

    std::string setting(const std::string& key, const std::string& fallback) {
        auto s = statement("SELECT value FROM settings WHERE key = ?");
        s.bind(1, key);
        return row(s, "reading settings") ? s.text(0) : fallback;
    }

    int64_t settingNumber(const std::string& key, int64_t fallback) {
        const std::string text = setting(key, "");
        if (text.empty()) return fallback;
        try {
            const int64_t value = std::stoll(text);
            return value > 0 ? value : fallback;
        } catch (...) {
            return fallback;
        }
    }

    void touch(const Caller& caller) {
        auto s = statement(
            "INSERT INTO installations(id, account, first_seen, last_seen) VALUES(?, ?, ?, ?)"
            " ON CONFLICT(id) DO UPDATE SET account = excluded.account,"
            " last_seen = excluded.last_seen");
        const double now = wallTime();
        s.bind(1, caller.installation).bind(2, caller.account).bind(3, now).bind(4, now);
        run(s, "recording the installation");
    }

    InstallationState state(const std::string& installation) {
        auto s = statement(
            "SELECT account_status, network_down, registered, push_cursor, hold"
            " FROM installations WHERE id = ?");
        s.bind(1, installation);
        InstallationState result;
        if (row(s, "reading the installation")) {
            if (!s.isNull(0)) result.status = static_cast<AccountStatus>(s.integer(0));
            result.networkDown = s.integer(1) != 0;
            result.registered = s.integer(2) != 0;
            result.pushCursor = s.integer(3);
            result.hold = s.integer(4) != 0;
        }
        return result;
    }

    AccountResult account(const Caller& caller) {
        const InstallationState st = state(caller.installation);
        if (st.networkDown) {
            return {AccountStatus::CouldNotDetermine,
                    Error(ErrorCode::NetworkUnavailable, "the network is down")};
        }
        if (caller.account.empty()) return {AccountStatus::NoAccount, std::nullopt};
        return {st.status.value_or(AccountStatus::Available), std::nullopt};
    }

    // Takes one armed fault of `kind` for the caller (a record fault when `recordName` is
    // not empty).
    std::optional<Error> takeFault(const Caller& caller, const std::string& kind,
                                   const std::string& recordName = {}) {
        auto s = statement(
            "SELECT id, error FROM faults WHERE (installation = ? OR installation = '*')"
            " AND kind = ? AND record_name = ? AND remaining > 0 ORDER BY id LIMIT 1");
        s.bind(1, caller.installation).bind(2, kind).bind(3, recordName);
        if (!row(s, "reading faults")) return std::nullopt;
        const int64_t id = s.integer(0);
        const ErrorCode code = errorCodeNamed(s.text(1)).value_or(ErrorCode::InternalError);
        auto u = statement("UPDATE faults SET remaining = remaining - 1 WHERE id = ?");
        u.bind(1, id);
        run(u, "using a fault");
        return Error(code, "injected by the control surface");
    }

    // The controls every call passes first: network, account, then an armed fault.
    std::optional<Error> admit(const Caller& caller, const std::string& kind, bool needsAccount) {
        touch(caller);
        const AccountResult acct = account(caller);
        if (acct.error) return acct.error;
        if (needsAccount && acct.status != AccountStatus::Available) {
            return Error(ErrorCode::NotAuthenticated, "no available account for this installation");
        }
        return takeFault(caller, kind);
    }

    void log(const Caller& caller, const std::string& operation, const std::string& detail,
             const std::optional<Error>& error) {
        auto s = statement(
            "INSERT INTO log(at, installation, account, operation, detail, outcome)"
            " VALUES(?, ?, ?, ?, ?, ?)");
        s.bind(1, wallTime())
            .bind(2, caller.installation)
            .bind(3, caller.account)
            .bind(4, operation)
            .bind(5, detail)
            .bind(6, error ? error->description() : std::string("ok"));
        run(s, "writing the log");
    }

    int64_t newChange(const Caller& caller, const std::string& operation) {
        auto s = statement(
            "INSERT INTO changes(at, installation, account, operation) VALUES(?, ?, ?, ?)");
        s.bind(1, wallTime())
            .bind(2, caller.installation)
            .bind(3, caller.account)
            .bind(4, operation);
        run(s, "taking a sequence number");
        return sqlite3_last_insert_rowid(db);
    }

    // After a commit, a held installation waits here until released, as if the reply were
    // still on its way.
    void holdIfAsked(const Caller& caller) {
        if (!state(caller.installation).hold) return;
        setHeld(caller.installation, true);
        while (!interrupted.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!state(caller.installation).hold) break;
        }
        setHeld(caller.installation, false);
    }

    void setHeld(const std::string& installation, bool held) {
        auto s = statement("UPDATE installations SET held = ? WHERE id = ?");
        s.bind(1, int64_t(held ? 1 : 0)).bind(2, installation);
        run(s, "marking the installation held");
    }

    uint64_t scopeFingerprint(const std::string& key) {
        return fingerprint(container + "\n" + key);
    }

    std::optional<Record> loadRecord(int64_t id, const std::string& type, const std::string& zone,
                                     const std::string& name, const std::string& tag,
                                     std::optional<Error>& error) {
        Record record(type, RecordID(name, zone));
        record.setRecordChangeTag(tag);
        auto s =
            statement("SELECT key, type, value FROM fields WHERE record = ? ORDER BY position");
        s.bind(1, id);
        while (row(s, "reading fields")) {
            const std::string key = s.text(0);
            const std::string kind = s.text(1);
            if (kind == "int64" && s.type(2) == SQLITE_INTEGER) {
                record.setObject(key, s.integer(2));
            } else if (kind == "double" &&
                       (s.type(2) == SQLITE_FLOAT || s.type(2) == SQLITE_INTEGER)) {
                record.setObject(key, s.real(2));
            } else if (kind == "string" && s.type(2) == SQLITE_TEXT) {
                record.setObject(key, s.text(2));
            } else {
                Error e(ErrorCode::InternalError, "record " + name + ": field \"" + key +
                                                      "\" of unknown type \"" + kind + "\"");
                e.recordID = RecordID(name, zone);
                error = e;
                return std::nullopt;
            }
        }
        return record;
    }

    void writeFields(int64_t id, const Record& record) {
        auto del = statement("DELETE FROM fields WHERE record = ?");
        del.bind(1, id);
        run(del, "replacing fields");
        int64_t position = 0;
        for (const auto& [key, value] : record.fields()) {
            auto s = statement(
                "INSERT INTO fields(record, position, key, type, value) VALUES(?, ?, ?, ?, ?)");
            s.bind(1, id)
                .bind(2, position++)
                .bind(3, key)
                .bind(4, std::string(fieldTypeName(value)));
            if (const auto* i = std::get_if<int64_t>(&value)) s.bind(5, *i);
            if (const auto* d = std::get_if<double>(&value)) s.bind(5, *d);
            if (const auto* t = std::get_if<std::string>(&value)) s.bind(5, *t);
            run(s, "writing a field");
        }
    }

    void notify(const Caller& caller, const std::string& scope, int64_t seq, const Record& record,
                int reason) {
        const int option =
            reason == QueryNotification::RecordCreated   ? Subscription::FiresOnRecordCreation
            : reason == QueryNotification::RecordUpdated ? Subscription::FiresOnRecordUpdate
                                                         : Subscription::FiresOnRecordDeletion;
        auto s = statement(
            "SELECT owner, subscription_id FROM subscriptions WHERE scope = ? AND record_type = ?"
            " AND predicate = 1 AND (options & ?) != 0 ORDER BY id");
        s.bind(1, scope).bind(2, record.recordType()).bind(3, int64_t(option));
        std::vector<std::pair<std::string, std::string>> targets;
        while (row(s, "reading subscriptions")) targets.emplace_back(s.text(0), s.text(1));
        for (const auto& [owner, subscriptionID] : targets) {
            auto n = statement(
                "INSERT INTO notifications(account, seq, subscription_id, zone, record_name,"
                " reason, originator) VALUES(?, ?, ?, ?, ?, ?, ?)");
            n.bind(1, owner)
                .bind(2, seq)
                .bind(3, subscriptionID)
                .bind(4, record.recordID().zoneName())
                .bind(5, record.recordID().recordName())
                .bind(6, int64_t(reason))
                .bind(7, caller.installation);
            run(n, "adding a notification");
        }
    }

    template <class Result, class Body>
    Result call(Body&& body) {
        Result result;
        if (auto e = ensureOpen()) {
            result.error = *e;
            return result;
        }
        try {
            body(result);
        } catch (const Failure& failure) {
            result = Result();
            result.error = failure.error;
        } catch (const std::exception& e) {
            result = Result();
            result.error = Error(ErrorCode::InternalError, e.what());
        }
        return result;
    }

    std::optional<Error> control(const std::function<void()>& body) {
        if (auto e = ensureOpen()) return e;
        try {
            Transaction txn(*this, true);
            body();
            txn.commit();
        } catch (const Failure& failure) {
            return failure.error;
        } catch (const std::exception& e) {
            return Error(ErrorCode::InternalError, e.what());
        }
        return std::nullopt;
    }

    void ensureInstallationRow(const std::string& installation) {
        auto s = statement(
            "INSERT OR IGNORE INTO installations(id, account, first_seen, last_seen)"
            " VALUES(?, '', ?, ?)");
        const double now = wallTime();
        s.bind(1, installation).bind(2, now).bind(3, now);
        run(s, "recording the installation");
    }
};

std::optional<Error> FolderBackend::Impl::openStore() {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    if (exists && !std::filesystem::is_regular_file(file, ec)) {
        return Error(ErrorCode::BadContainer, named("not a file"));
    }
    if (!exists) {
        std::filesystem::create_directories(file.parent_path(), ec);
        if (ec)
            return Error(ErrorCode::BadContainer,
                         named("cannot create the folder (" + ec.message() + ")"));
    }
    const bool empty = !exists || std::filesystem::file_size(file, ec) == 0;
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (exists ? 0 : SQLITE_OPEN_CREATE);
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Error e(ErrorCode::BadContainer,
                named(std::string("cannot open (") + sqlite3_errstr(rc) + ")"));
        close();
        return e;
    }
    sqlite3_busy_timeout(db, kBusyWaitMs);
    sqlite3_extended_result_codes(db, 1);
    try {
        if (!empty) {
            // Statements of the check end with this lambda, before the connection closes.
            const std::optional<Error> refused = [&]() -> std::optional<Error> {
                // Read only until the file is known to be ours: nothing is written to a stranger.
                sqlite3_stmt* probe = nullptr;
                int step = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe,
                                              nullptr);
                if (step == SQLITE_OK) step = sqlite3_step(probe);
                const int64_t objects = step == SQLITE_ROW ? sqlite3_column_int64(probe, 0) : 0;
                sqlite3_finalize(probe);
                if (step != SQLITE_ROW) {
                    const int primary = step & 0xFF;
                    const std::string what =
                        primary == SQLITE_NOTADB ? "not an SQLite database"
                        : primary == SQLITE_CORRUPT
                            ? "damaged or truncated SQLite database"
                            : std::string("unreadable (") + sqlite3_errmsg(db) + ")";
                    return Error(ErrorCode::BadContainer, named(what));
                }
                auto app = statement("PRAGMA application_id");
                const int64_t appId = row(app, "reading the application id") ? app.integer(0) : 0;
                auto ver = statement("PRAGMA user_version");
                const int64_t version = row(ver, "reading the schema version") ? ver.integer(0) : 0;
                if (objects > 0 || appId != 0) {
                    if (appId != kApplicationId) {
                        return Error(ErrorCode::BadContainer,
                                     named("another program's database, not a cloud container"));
                    }
                    if (version > kSchemaVersion) {
                        return Error(ErrorCode::BadContainer,
                                     named("schema version " + std::to_string(version) +
                                           " is newer than this program's " +
                                           std::to_string(kSchemaVersion)));
                    }
                    auto check = statement("PRAGMA quick_check");
                    const std::string verdict =
                        row(check, "checking the store") ? check.text(0) : "";
                    if (verdict != "ok") {
                        return Error(ErrorCode::BadContainer,
                                     named("damaged store (" + verdict + ")"));
                    }
                    const std::string held = meta("container");
                    if (held != container) {
                        return Error(
                            ErrorCode::BadContainer,
                            named("holds container \"" + held + "\", not \"" + container + "\""));
                    }
                }
                return std::nullopt;
            }();
            if (refused) {
                close();
                return refused;
            }
        }
        switchToWal();
        exec("PRAGMA synchronous=FULL");
        exec("PRAGMA foreign_keys=ON");
        createSchema();
    } catch (const Failure& failure) {
        close();
        return failure.error;
    }
    opened = true;
    return std::nullopt;
}

// SQLite answers a journal-mode switch that meets another connection's lock with "busy" at
// once, without its busy handler: installations that open a new store together would refuse
// it. Wait for the lock as every other statement does.
void FolderBackend::Impl::switchToWal() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyWaitMs);
    for (;;) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return;
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
            fail(rc, "switching the store to write-ahead logging");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void FolderBackend::Impl::createSchema() {
    Transaction txn(*this, true);
    // Another process may have created the store between our checks and this lock.
    auto app = statement("PRAGMA application_id");
    const int64_t appId = row(app, "reading the application id") ? app.integer(0) : 0;
    if (appId != 0 && appId != kApplicationId) {
        throw Failure{Error(ErrorCode::BadContainer,
                            named("another program's database, not a cloud container"))};
    }
    for (const char* sql : kSchema) exec(sql);
    exec("PRAGMA application_id=" + std::to_string(kApplicationId));
    exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"schema", std::to_string(kSchemaVersion)},
             {"container", container},
             {"epoch", "1"}}) {
        auto s = statement("INSERT OR IGNORE INTO meta(key, value) VALUES(?, ?)");
        s.bind(1, key).bind(2, value);
        run(s, "writing meta");
    }
    const std::string held = meta("container");
    if (held != container) {
        throw Failure{Error(ErrorCode::BadContainer,
                            named("holds container \"" + held + "\", not \"" + container + "\""))};
    }
    txn.commit();
}

FolderBackend::FolderBackend(std::filesystem::path file, std::string containerIdentifier)
    : impl_(std::make_unique<Impl>()) {
    impl_->file = std::move(file);
    impl_->container = std::move(containerIdentifier);
}

FolderBackend::~FolderBackend() = default;

std::filesystem::path FolderBackend::fileInFolder(const std::filesystem::path& folder,
                                                  const std::string& containerIdentifier) {
    return folder / (containerIdentifier + ".sqlite");
}

std::optional<Error> FolderBackend::open() {
    std::optional<Error> error = impl_->ensureOpen();
    // Busy is not a refusal: the calls that follow open the store again themselves.
    if (error && error->code() == ErrorCode::ServiceUnavailable) return std::nullopt;
    return error;
}

std::string FolderBackend::location() const { return "folder " + impl_->file.string(); }

void FolderBackend::interrupt() { impl_->interrupted = true; }

AccountResult FolderBackend::accountStatus(const Caller& caller) {
    auto& d = *impl_;
    if (auto e = d.ensureOpen()) return {AccountStatus::CouldNotDetermine, e};
    try {
        Impl::Transaction txn(d, true, false);
        d.touch(caller);
        AccountResult result = d.account(caller);
        if (!result.error) {
            if (auto fault = d.takeFault(caller, "account")) {
                result = {AccountStatus::CouldNotDetermine, fault};
            }
        }
        txn.commit();
        return result;
    } catch (const Failure& failure) {
        return {AccountStatus::CouldNotDetermine, failure.error};
    }
}

std::optional<Error> FolderBackend::registerForPushes(const Caller& caller) {
    auto& d = *impl_;
    return d.control([&] {
        d.touch(caller);
        auto s = d.statement(
            "UPDATE installations SET push_cursor = (SELECT coalesce(max(id), 0) FROM"
            " notifications WHERE account = ?), registered = 1 WHERE id = ? AND registered = 0");
        s.bind(1, caller.account).bind(2, caller.installation);
        d.run(s, "registering for pushes");
        d.log(caller, "register", "pushes", std::nullopt);
    });
}

PollResult FolderBackend::poll(const Caller& caller, int64_t keyValueCursor) {
    auto& d = *impl_;
    PollResult result;
    if (auto e = d.ensureOpen()) {
        result.account = {AccountStatus::CouldNotDetermine, e};
        return result;
    }
    try {
        int64_t newest = 0;
        InstallationState st;
        {
            Impl::Transaction txn(d, false);
            st = d.state(caller.installation);
            result.account = d.account(caller);
            auto n =
                d.statement("SELECT coalesce(max(id), 0) FROM notifications WHERE account = ?");
            n.bind(1, caller.account);
            newest = d.row(n, "polling notifications") ? n.integer(0) : 0;
            auto k = d.statement(
                "SELECT coalesce(max(seq), 0) FROM keyvalues WHERE account = ? AND writer != ?");
            k.bind(1, caller.account).bind(2, caller.installation);
            result.keyValuesChanged =
                d.row(k, "polling key values") && k.integer(0) > keyValueCursor;
            txn.commit();
        }
        if (st.registered && newest > st.pushCursor && !st.networkDown) {
            Impl::Transaction txn(d, true, false);
            const InstallationState now = d.state(caller.installation);
            const bool toOriginator = d.setting("push-originator", "0") == "1";
            auto s = d.statement(
                "SELECT count(*) FROM notifications WHERE account = ? AND id > ? AND id <= ?"
                " AND (originator != ? OR ?)");
            s.bind(1, caller.account)
                .bind(2, now.pushCursor)
                .bind(3, newest)
                .bind(4, caller.installation)
                .bind(5, int64_t(toOriginator ? 1 : 0));
            result.push = d.row(s, "polling notifications") && s.integer(0) > 0;
            auto u = d.statement(
                "UPDATE installations SET push_cursor = ? WHERE id = ? AND push_cursor < ?");
            u.bind(1, newest).bind(2, caller.installation).bind(3, newest);
            d.run(u, "moving the push cursor");
            txn.commit();
        }
    } catch (const Failure& failure) {
        result.account = {AccountStatus::CouldNotDetermine, failure.error};
    }
    return result;
}

ModifyResult FolderBackend::modifyRecords(const Caller& caller, Scope scope,
                                          const std::vector<Record>& recordsToSave,
                                          const std::vector<RecordID>& recordIDsToDelete) {
    auto& d = *impl_;
    bool committed = false;
    auto result = d.call<ModifyResult>([&](ModifyResult& r) {
        Impl::Transaction txn(d, true);
        const std::string detail = std::to_string(recordsToSave.size()) + " saved, " +
                                   std::to_string(recordIDsToDelete.size()) + " deleted";
        if (auto e = d.admit(caller, "modify", true)) {
            r.error = e;
        } else if (recordsToSave.size() + recordIDsToDelete.size() > kMaxRecordsPerModify) {
            r.error = Error(ErrorCode::LimitExceeded,
                            std::to_string(recordsToSave.size() + recordIDsToDelete.size()) +
                                " records in one request, at most " +
                                std::to_string(kMaxRecordsPerModify));
        } else {
            const std::string key = scopeKey(caller, scope);
            int64_t seq = 0;
            auto sequence = [&] { return seq ? seq : (seq = d.newChange(caller, "modify")); };
            std::vector<Error> failures;
            for (const Record& record : recordsToSave) {
                const RecordID& id = record.recordID();
                if (auto fault = d.takeFault(caller, "record", id.recordName())) {
                    fault->recordID = id;
                    failures.push_back(*fault);
                    continue;
                }
                auto find = d.statement(
                    "SELECT id, type, change_tag FROM records WHERE scope = ? AND zone = ? AND "
                    "name = ?");
                find.bind(1, key).bind(2, id.zoneName()).bind(3, id.recordName());
                if (d.row(find, "finding a record")) {
                    const int64_t rowId = find.integer(0);
                    const std::string type = find.text(1);
                    const std::string tag = find.text(2);
                    if (!record.recordChangeTag() || *record.recordChangeTag() != tag ||
                        type != record.recordType()) {
                        Error e(ErrorCode::ServerRecordChanged,
                                "record " + id.recordName() + " exists with another change tag");
                        e.recordID = id;
                        std::optional<Error> loadError;
                        e.serverRecord = d.loadRecord(rowId, type, id.zoneName(), id.recordName(),
                                                      tag, loadError);
                        failures.push_back(e);
                        continue;
                    }
                    const int64_t s = sequence();
                    auto up = d.statement(
                        "UPDATE records SET change_tag = ?, modified_seq = ? WHERE id = ?");
                    up.bind(1, changeTag(s)).bind(2, s).bind(3, rowId);
                    d.run(up, "updating a record");
                    d.writeFields(rowId, record);
                    d.notify(caller, key, s, record, QueryNotification::RecordUpdated);
                } else {
                    if (record.recordChangeTag()) {
                        Error e(ErrorCode::UnknownItem,
                                "record " + id.recordName() + " is not on the server");
                        e.recordID = id;
                        failures.push_back(e);
                        continue;
                    }
                    const int64_t s = sequence();
                    auto ins = d.statement(
                        "INSERT INTO records(scope, zone, name, type, change_tag, created_seq,"
                        " modified_seq, creator) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
                    ins.bind(1, key)
                        .bind(2, id.zoneName())
                        .bind(3, id.recordName())
                        .bind(4, record.recordType())
                        .bind(5, changeTag(s))
                        .bind(6, s)
                        .bind(7, s)
                        .bind(8, caller.installation);
                    d.run(ins, "inserting a record");
                    d.writeFields(sqlite3_last_insert_rowid(d.db), record);
                    d.notify(caller, key, s, record, QueryNotification::RecordCreated);
                }
                Record saved = record;
                saved.setRecordChangeTag(changeTag(seq));
                r.saved.push_back(std::move(saved));
            }
            for (const RecordID& id : recordIDsToDelete) {
                auto find = d.statement(
                    "SELECT id, type FROM records WHERE scope = ? AND zone = ? AND name = ?");
                find.bind(1, key).bind(2, id.zoneName()).bind(3, id.recordName());
                if (d.row(find, "finding a record")) {
                    const int64_t rowId = find.integer(0);
                    const Record gone(find.text(1), id);
                    const int64_t s = sequence();
                    auto del = d.statement("DELETE FROM records WHERE id = ?");
                    del.bind(1, rowId);
                    d.run(del, "deleting a record");
                    d.notify(caller, key, s, gone, QueryNotification::RecordDeleted);
                }
                r.deleted.push_back(id);
            }
            if (!failures.empty()) {
                Error e(ErrorCode::PartialFailure, std::to_string(failures.size()) + " of " +
                                                       std::to_string(recordsToSave.size()) +
                                                       " records failed");
                e.partialErrors = std::move(failures);
                r.error = std::move(e);
            }
        }
        d.log(caller, "modify", detail, r.error);
        txn.commit();
        committed = !r.saved.empty() || !r.deleted.empty();
    });
    if (committed) {
        try {
            d.holdIfAsked(caller);
        } catch (const Failure&) {
        }
    }
    return result;
}

QueryPage FolderBackend::query(const Caller& caller, Scope scope, const std::optional<Query>& query,
                               const std::optional<QueryCursor>& cursor, int64_t limit) {
    auto& d = *impl_;
    return d.call<QueryPage>([&](QueryPage& page) {
        Impl::Transaction txn(d, true, false);
        const std::string key = scopeKey(caller, scope);
        std::string detail = cursor ? "next page" : "first page";
        if (auto e = d.admit(caller, "query", scope == Scope::Private)) {
            page.error = e;
        } else if (!query && !cursor) {
            page.error = Error(ErrorCode::InvalidArguments, "a query needs a query or a cursor");
        } else if (cursor && cursor->scope != d.scopeFingerprint(key)) {
            page.error =
                Error(ErrorCode::InvalidArguments, "cursor of another container or account");
        } else {
            QueryCursor c;
            if (cursor) {
                c = *cursor;
            } else {
                c.scope = d.scopeFingerprint(key);
                c.recordType = query->recordType();
                c.predicate = query->predicate().value();
                const std::string order = d.setting("order", "creation");
                c.order = order == "reversed" ? QueryOrder::Reversed
                          : order == "random" ? QueryOrder::Random
                                              : QueryOrder::Creation;
                c.seed = static_cast<uint64_t>(d.settingNumber("seed", 1));
                auto snap = d.statement("SELECT coalesce(max(id), 0) FROM records");
                c.snapshot =
                    d.row(snap, "taking a snapshot") ? static_cast<uint64_t>(snap.integer(0)) : 0;
                c.position = c.order == QueryOrder::Reversed ? c.snapshot + 1 : 0;
            }
            detail += " of " + c.recordType;
            const int64_t pageSize =
                limit > 0 ? limit : d.settingNumber("page-size", kDefaultPageSize);
            struct Row {
                int64_t id;
                std::string zone, name, type, tag;
            };
            std::vector<Row> rows;
            if (c.predicate) {
                const char* columns = "SELECT id, zone, name, type, change_tag FROM records";
                if (c.order == QueryOrder::Random) {
                    auto s = d.statement(std::string(columns) +
                                         " WHERE scope = ? AND type = ? AND id <= ? ORDER BY id");
                    s.bind(1, key).bind(2, c.recordType).bind(3, int64_t(c.snapshot));
                    std::vector<Row> all;
                    while (d.row(s, "querying records")) {
                        all.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4)});
                    }
                    std::mt19937_64 engine(c.seed);
                    std::shuffle(all.begin(), all.end(), engine);
                    for (size_t i = c.position; i < all.size() && rows.size() <= size_t(pageSize);
                         ++i) {
                        rows.push_back(all[i]);
                    }
                } else {
                    const bool reversed = c.order == QueryOrder::Reversed;
                    auto s = d.statement(std::string(columns) +
                                         (reversed ? " WHERE scope = ? AND type = ? AND id < ?"
                                                     " ORDER BY id DESC LIMIT ?"
                                                   : " WHERE scope = ? AND type = ? AND id > ?"
                                                     " AND id <= ? ORDER BY id LIMIT ?"));
                    s.bind(1, key).bind(2, c.recordType).bind(3, int64_t(c.position));
                    if (reversed) {
                        s.bind(4, pageSize + 1);
                    } else {
                        s.bind(4, int64_t(c.snapshot)).bind(5, pageSize + 1);
                    }
                    while (d.row(s, "querying records")) {
                        rows.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4)});
                    }
                }
            }
            const bool more = rows.size() > size_t(pageSize);
            if (more) rows.resize(size_t(pageSize));
            std::vector<Error> failures;
            for (const Row& row : rows) {
                std::optional<Error> error;
                if (auto record =
                        d.loadRecord(row.id, row.type, row.zone, row.name, row.tag, error)) {
                    page.records.push_back(std::move(*record));
                } else {
                    failures.push_back(*error);
                }
            }
            if (more) {
                QueryCursor next = c;
                next.position = c.order == QueryOrder::Random
                                    ? c.position + rows.size()
                                    : static_cast<uint64_t>(rows.back().id);
                page.cursor = next;
            }
            if (!failures.empty()) {
                Error e(ErrorCode::PartialFailure,
                        std::to_string(failures.size()) + " records could not be read");
                e.partialErrors = std::move(failures);
                page.error = std::move(e);
            }
        }
        d.log(caller, "query", detail, page.error);
        txn.commit();
    });
}

FetchResult FolderBackend::fetchRecords(const Caller& caller, Scope scope,
                                        const std::vector<RecordID>& recordIDs) {
    auto& d = *impl_;
    return d.call<FetchResult>([&](FetchResult& r) {
        Impl::Transaction txn(d, true, false);
        const std::string key = scopeKey(caller, scope);
        if (auto e = d.admit(caller, "fetch", scope == Scope::Private)) {
            r.error = e;
        } else {
            std::vector<Error> failures;
            for (const RecordID& id : recordIDs) {
                FetchedRecord item{id, std::nullopt, std::nullopt};
                if (auto fault = d.takeFault(caller, "record", id.recordName())) {
                    item.error = fault;
                } else {
                    auto find = d.statement(
                        "SELECT id, type, change_tag FROM records WHERE scope = ? AND zone = ?"
                        " AND name = ?");
                    find.bind(1, key).bind(2, id.zoneName()).bind(3, id.recordName());
                    if (d.row(find, "finding a record")) {
                        const int64_t rowId = find.integer(0);
                        const std::string type = find.text(1), tag = find.text(2);
                        item.record = d.loadRecord(rowId, type, id.zoneName(), id.recordName(), tag,
                                                   item.error);
                    } else {
                        item.error = Error(ErrorCode::UnknownItem,
                                           "record " + id.recordName() + " is not on the server");
                    }
                }
                if (item.error) {
                    item.error->recordID = id;
                    failures.push_back(*item.error);
                }
                r.items.push_back(std::move(item));
            }
            if (!failures.empty()) {
                Error e(ErrorCode::PartialFailure, std::to_string(failures.size()) + " of " +
                                                       std::to_string(recordIDs.size()) +
                                                       " records failed");
                e.partialErrors = std::move(failures);
                r.error = std::move(e);
            }
        }
        d.log(caller, "fetch", std::to_string(recordIDs.size()) + " records", r.error);
        txn.commit();
    });
}

NotificationPage FolderBackend::fetchNotificationChanges(
    const Caller& caller, const std::optional<ServerChangeToken>& token, int64_t limit) {
    auto& d = *impl_;
    return d.call<NotificationPage>([&](NotificationPage& page) {
        Impl::Transaction txn(d, true, false);
        const uint64_t scope = d.scopeFingerprint(scopeKey(caller, Scope::Private));
        const uint64_t epoch = static_cast<uint64_t>(d.epoch());
        if (auto e = d.admit(caller, "notifications", true)) {
            page.error = e;
        } else if (token && token->scope() != scope) {
            page.error =
                Error(ErrorCode::InvalidArguments, "change token of another container or account");
        } else if (token && token->epoch() != epoch) {
            page.error =
                Error(ErrorCode::ChangeTokenExpired, "the server was reset since this token");
        } else {
            const int64_t serverLimit =
                d.settingNumber("notification-limit", kDefaultNotificationLimit);
            const int64_t take = limit > 0 ? std::min(limit, serverLimit) : serverLimit;
            uint64_t position = token ? token->position() : 0;
            auto s = d.statement(
                "SELECT id, subscription_id, zone, record_name, reason FROM notifications"
                " WHERE account = ? AND id > ? ORDER BY id LIMIT ?");
            s.bind(1, caller.account).bind(2, int64_t(position)).bind(3, take + 1);
            while (d.row(s, "reading notifications")) {
                if (int64_t(page.notifications.size()) == take) {
                    page.moreComing = true;
                    break;
                }
                QueryNotification n;
                n.notificationID = std::to_string(s.integer(0));
                n.subscriptionID = s.text(1);
                n.containerIdentifier = d.container;
                n.recordID = RecordID(s.text(3), s.text(2));
                n.queryNotificationReason = static_cast<int>(s.integer(4));
                position = static_cast<uint64_t>(s.integer(0));
                page.notifications.push_back(std::move(n));
            }
            page.token = ServerChangeToken(scope, epoch, position);
        }
        d.log(caller, "notifications", std::to_string(page.notifications.size()) + " delivered",
              page.error);
        txn.commit();
    });
}

SubscriptionsResult FolderBackend::fetchAllSubscriptions(const Caller& caller, Scope scope) {
    auto& d = *impl_;
    return d.call<SubscriptionsResult>([&](SubscriptionsResult& r) {
        Impl::Transaction txn(d, true, false);
        if (auto e = d.admit(caller, "subscriptions", true)) {
            r.error = e;
        } else {
            auto s = d.statement(
                "SELECT subscription_id, record_type, predicate, options, content_available,"
                " sound_name FROM subscriptions WHERE scope = ? ORDER BY id");
            s.bind(1, scopeKey(caller, scope));
            while (d.row(s, "reading subscriptions")) {
                Subscription sub(s.text(0), s.text(1), Predicate::withValue(s.integer(2) != 0),
                                 static_cast<int>(s.integer(3)));
                sub.setNotificationInfo({s.integer(4) != 0, s.text(5)});
                r.subscriptions.push_back(std::move(sub));
            }
        }
        d.log(caller, "subscriptions", std::to_string(r.subscriptions.size()) + " found", r.error);
        txn.commit();
    });
}

SubscriptionResult FolderBackend::saveSubscription(const Caller& caller, Scope scope,
                                                   const Subscription& subscription) {
    auto& d = *impl_;
    bool committed = false;
    auto result = d.call<SubscriptionResult>([&](SubscriptionResult& r) {
        Impl::Transaction txn(d, true);
        if (auto e = d.admit(caller, "save-subscription", true)) {
            r.error = e;
        } else {
            const int64_t seq = d.newChange(caller, "save-subscription");
            auto s = d.statement(
                "INSERT INTO subscriptions(scope, owner, subscription_id, record_type, predicate,"
                " options, content_available, sound_name, seq) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"
                " ON CONFLICT(scope, subscription_id) DO UPDATE SET record_type = "
                "excluded.record_type,"
                " predicate = excluded.predicate, options = excluded.options,"
                " content_available = excluded.content_available, sound_name = excluded.sound_name,"
                " seq = excluded.seq");
            s.bind(1, scopeKey(caller, scope))
                .bind(2, caller.account)
                .bind(3, subscription.subscriptionID())
                .bind(4, subscription.recordType())
                .bind(5, int64_t(subscription.predicate().value() ? 1 : 0))
                .bind(6, int64_t(subscription.options()))
                .bind(7,
                      int64_t(subscription.notificationInfo().shouldSendContentAvailable ? 1 : 0))
                .bind(8, subscription.notificationInfo().soundName)
                .bind(9, seq);
            d.run(s, "saving a subscription");
            r.subscription = subscription;
        }
        d.log(caller, "save-subscription", subscription.recordType(), r.error);
        txn.commit();
        committed = r.subscription.has_value();
    });
    if (committed) {
        try {
            d.holdIfAsked(caller);
        } catch (const Failure&) {
        }
    }
    return result;
}

KeyValueExchange FolderBackend::exchangeKeyValues(const Caller& caller, const KeyValues& dirty,
                                                  int64_t cursor) {
    auto& d = *impl_;
    bool wrote = false;
    auto result = d.call<KeyValueExchange>([&](KeyValueExchange& r) {
        Impl::Transaction txn(d, true);
        r.cursor = cursor;
        if (auto e = d.admit(caller, "key-value", true)) {
            r.error = e;
        } else {
            std::vector<std::tuple<std::string, std::string, int64_t>> writes;
            int64_t addedBytes = 0, addedKeys = 0;
            for (const auto& [key, value] : dirty) {
                std::string xml = plist::toXml(value);
                const int64_t size = int64_t(key.size() + xml.size());
                auto old = d.statement("SELECT size FROM keyvalues WHERE account = ? AND key = ?");
                old.bind(1, caller.account).bind(2, key);
                if (d.row(old, "reading a key value")) {
                    addedBytes += size - old.integer(0);
                } else {
                    addedBytes += size;
                    ++addedKeys;
                }
                writes.emplace_back(key, std::move(xml), size);
            }
            auto total = d.statement(
                "SELECT count(*), coalesce(sum(size), 0) FROM keyvalues WHERE account = ?");
            total.bind(1, caller.account);
            d.row(total, "measuring the key values");
            const int64_t keys = total.integer(0) + addedKeys;
            const int64_t bytes = total.integer(1) + addedBytes;
            if (!writes.empty() && (keys > kKeyValueQuotaKeys || bytes > kKeyValueQuotaBytes)) {
                for (const auto& w : writes) r.rejected.push_back(std::get<0>(w));
            } else if (!writes.empty()) {
                const int64_t seq = d.newChange(caller, "key-value");
                for (const auto& [key, xml, size] : writes) {
                    auto s = d.statement(
                        "INSERT INTO keyvalues(account, key, value, size, seq, writer)"
                        " VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(account, key) DO UPDATE SET"
                        " value = excluded.value, size = excluded.size, seq = excluded.seq,"
                        " writer = excluded.writer");
                    s.bind(1, caller.account)
                        .bind(2, key)
                        .bind(3, xml)
                        .bind(4, size)
                        .bind(5, seq)
                        .bind(6, caller.installation);
                    d.run(s, "writing a key value");
                }
                wrote = true;
            }
            auto s = d.statement(
                "SELECT key, value FROM keyvalues WHERE account = ? AND seq > ? AND writer != ?"
                " ORDER BY seq, key");
            s.bind(1, caller.account).bind(2, cursor).bind(3, caller.installation);
            while (d.row(s, "reading key values")) {
                const std::string key = s.text(0);
                if (auto value = plist::fromXml(s.text(1)))
                    r.changes.emplace_back(key, std::move(*value));
            }
            auto newest =
                d.statement("SELECT coalesce(max(seq), 0) FROM keyvalues WHERE account = ?");
            newest.bind(1, caller.account);
            r.cursor =
                d.row(newest, "reading key values") ? std::max(cursor, newest.integer(0)) : cursor;
        }
        d.log(caller, "key-value",
              std::to_string(dirty.size()) + " sent, " + std::to_string(r.changes.size()) +
                  " received",
              r.error);
        txn.commit();
    });
    if (wrote && !result.error) {
        try {
            d.holdIfAsked(caller);
        } catch (const Failure&) {
        }
    }
    return result;
}

std::optional<Error> FolderBackend::setAccountStatus(const std::string& installation,
                                                     std::optional<AccountStatus> status) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        auto s = d.statement("UPDATE installations SET account_status = ? WHERE id = ?");
        if (status) {
            s.bind(1, int64_t(static_cast<int>(*status)));
        } else {
            s.bindNull(1);
        }
        s.bind(2, installation);
        d.run(s, "setting the account status");
    });
}

std::optional<Error> FolderBackend::setNetworkDown(const std::string& installation, bool down) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        auto s = d.statement("UPDATE installations SET network_down = ? WHERE id = ?");
        s.bind(1, int64_t(down ? 1 : 0)).bind(2, installation);
        d.run(s, "setting the network");
    });
}

std::optional<Error> FolderBackend::setHold(const std::string& installation, bool hold) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        auto s = d.statement("UPDATE installations SET hold = ? WHERE id = ?");
        s.bind(1, int64_t(hold ? 1 : 0)).bind(2, installation);
        d.run(s, "setting the hold");
    });
}

std::optional<Error> FolderBackend::addFault(const Fault& fault) {
    auto& d = *impl_;
    return d.control([&] {
        auto s = d.statement(
            "INSERT INTO faults(installation, kind, record_name, remaining, error)"
            " VALUES(?, ?, ?, ?, ?)");
        s.bind(1, fault.installation)
            .bind(2, fault.kind)
            .bind(3, fault.recordName)
            .bind(4, fault.count)
            .bind(5, std::string(errorName(fault.code)));
        d.run(s, "arming a fault");
    });
}

std::optional<Error> FolderBackend::clearFaults() {
    auto& d = *impl_;
    return d.control([&] { d.exec("DELETE FROM faults"); });
}

std::optional<Error> FolderBackend::setSetting(const std::string& key, const std::string& value) {
    auto& d = *impl_;
    return d.control([&] {
        auto s = d.statement(
            "INSERT INTO settings(key, value) VALUES(?, ?) ON CONFLICT(key) DO UPDATE SET"
            " value = excluded.value");
        s.bind(1, key).bind(2, value);
        d.run(s, "writing a setting");
    });
}

std::optional<Error> FolderBackend::resetEpoch() {
    auto& d = *impl_;
    return d.control([&] {
        auto s =
            d.statement("UPDATE meta SET value = CAST(value AS INTEGER) + 1 WHERE key = 'epoch'");
        d.run(s, "resetting the epoch");
    });
}

Table FolderBackend::inspect(const std::string& table) {
    static const std::map<std::string, std::string> kQueries = {
        {"status",
         "SELECT (SELECT value FROM meta WHERE key = 'container') AS container,"
         " (SELECT value FROM meta WHERE key = 'schema') AS schema,"
         " (SELECT value FROM meta WHERE key = 'epoch') AS epoch,"
         " (SELECT coalesce(max(seq), 0) FROM changes) AS sequence,"
         " (SELECT count(*) FROM records) AS records,"
         " (SELECT count(*) FROM notifications) AS notifications"},
        {"changes", "SELECT seq, installation, account, operation FROM changes ORDER BY seq"},
        {"records",
         "SELECT scope, zone, name, type, change_tag, created_seq, modified_seq, creator"
         " FROM records ORDER BY id"},
        {"fields",
         "SELECT r.name, f.key, f.type, f.value FROM fields f JOIN records r ON r.id = f.record"
         " ORDER BY r.id, f.position"},
        {"subscriptions",
         "SELECT scope, owner, subscription_id, record_type, predicate, options,"
         " content_available, sound_name FROM subscriptions ORDER BY id"},
        {"notifications",
         "SELECT id, account, seq, subscription_id, zone, record_name, reason, originator"
         " FROM notifications ORDER BY id"},
        {"installations",
         "SELECT id, account, registered, push_cursor, coalesce(account_status, ''), network_down,"
         " hold, held FROM installations ORDER BY first_seen, id"},
        {"keyvalues",
         "SELECT account, key, size, seq, writer, value FROM keyvalues ORDER BY account, key"},
        {"faults",
         "SELECT id, installation, kind, record_name, remaining, error FROM faults ORDER BY id"},
        {"settings", "SELECT key, value FROM settings ORDER BY key"},
        {"log",
         "SELECT id, installation, account, operation, detail, outcome FROM log ORDER BY id"},
    };
    auto& d = *impl_;
    Table result;
    auto it = kQueries.find(table);
    if (it == kQueries.end()) {
        result.error = Error(ErrorCode::InvalidArguments, "no table \"" + table + "\" to inspect");
        return result;
    }
    if (auto e = d.ensureOpen()) {
        result.error = e;
        return result;
    }
    try {
        Impl::Transaction txn(d, false);
        auto s = d.statement(it->second);
        for (int c = 0; c < s.columns(); ++c) result.columns.push_back(s.columnName(c));
        while (d.row(s, "inspecting")) {
            std::vector<std::string> row;
            for (int c = 0; c < s.columns(); ++c) row.push_back(s.text(c));
            result.rows.push_back(std::move(row));
        }
        txn.commit();
    } catch (const Failure& failure) {
        result.error = failure.error;
    }
    return result;
}

}  // namespace wv::ck
