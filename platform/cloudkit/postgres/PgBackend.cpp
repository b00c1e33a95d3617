#include "platform/cloudkit/postgres/PgBackend.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unordered_map>

#include "platform/cloudkit/ByteReader.h"

namespace wv::ck {

namespace {

using Clock = std::chrono::steady_clock;

// Every relation of ours; a database holding anything else (or only some of these) is not
// one of ours.
const char* const kRelations[] = {
    "meta",           "counter",
    "changes",        "records",
    "records_id_seq", "fields",
    "subscriptions",  "subscriptions_id_seq",
    "notifications",  "notifications_id_seq",
    "installations",  "keyvalues",
    "faults",         "faults_id_seq",
    "settings",       "log",
    "log_id_seq",
};

const char* const kSchema[] = {
    "CREATE TABLE meta(key text PRIMARY KEY, value text NOT NULL)",
    "CREATE TABLE counter(id integer PRIMARY KEY CHECK (id = 1), value bigint NOT NULL)",
    "INSERT INTO counter(id, value) VALUES(1, 0)",
    "CREATE TABLE changes(seq bigint PRIMARY KEY, at double precision NOT NULL,"
    " installation text NOT NULL, account text NOT NULL, operation text NOT NULL)",
    "CREATE TABLE records(id bigserial PRIMARY KEY, scope text NOT NULL, zone text NOT NULL,"
    " name text NOT NULL, type text NOT NULL, change_tag text NOT NULL,"
    " created_seq bigint NOT NULL, modified_seq bigint NOT NULL, creator text NOT NULL,"
    " UNIQUE(scope, zone, name))",
    "CREATE INDEX records_by_type ON records(scope, type, id)",
    "CREATE TABLE fields(record bigint NOT NULL REFERENCES records(id) ON DELETE CASCADE,"
    " position integer NOT NULL, key text NOT NULL, type text NOT NULL, value text,"
    " PRIMARY KEY(record, key))",
    "CREATE TABLE subscriptions(id bigserial PRIMARY KEY, scope text NOT NULL,"
    " owner text NOT NULL, subscription_id text NOT NULL, record_type text NOT NULL,"
    " predicate integer NOT NULL, options integer NOT NULL,"
    " content_available integer NOT NULL, sound_name text NOT NULL, seq bigint NOT NULL,"
    " UNIQUE(scope, subscription_id))",
    "CREATE TABLE notifications(id bigserial PRIMARY KEY, account text NOT NULL,"
    " seq bigint NOT NULL, subscription_id text NOT NULL, zone text NOT NULL,"
    " record_name text NOT NULL, reason integer NOT NULL, originator text NOT NULL)",
    "CREATE INDEX notifications_by_account ON notifications(account, id)",
    "CREATE TABLE installations(id text PRIMARY KEY, account text NOT NULL,"
    " registered integer NOT NULL DEFAULT 0, push_cursor bigint NOT NULL DEFAULT 0,"
    " account_status integer, network_down integer NOT NULL DEFAULT 0,"
    " hold integer NOT NULL DEFAULT 0, held integer NOT NULL DEFAULT 0,"
    " first_seen double precision NOT NULL, last_seen double precision NOT NULL)",
    "CREATE TABLE keyvalues(account text NOT NULL, key text NOT NULL, value text NOT NULL,"
    " size bigint NOT NULL, seq bigint NOT NULL, writer text NOT NULL,"
    " PRIMARY KEY(account, key))",
    "CREATE TABLE faults(id bigserial PRIMARY KEY, installation text NOT NULL,"
    " kind text NOT NULL, record_name text NOT NULL, remaining bigint NOT NULL,"
    " error text NOT NULL)",
    "CREATE TABLE settings(key text PRIMARY KEY, value text NOT NULL)",
    "CREATE TABLE log(id bigserial PRIMARY KEY, at double precision NOT NULL,"
    " installation text NOT NULL, account text NOT NULL, operation text NOT NULL,"
    " detail text NOT NULL, outcome text NOT NULL)",
};

// Any number that serialises schema creation between installations connecting at once.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(1465271875)";

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

std::string number(int64_t v) { return std::to_string(v); }

std::string exactDouble(double v) {
    char buffer[40];
    snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// Rows handed to the server as one bound JSON array of objects (read there with
// jsonb_to_recordset): a request of hundreds of records is then a handful of statements,
// not a round trip per record. Every value travels as a JSON string.
class JsonRows {
  public:
    void begin() {
        text_ += rows_++ ? ",{" : "{";
        first_ = true;
    }
    void field(const char* name, const std::string& value) {
        if (!first_) text_ += ',';
        first_ = false;
        text_ += '"';
        text_ += name;
        text_ += "\":";
        quote(value);
    }
    void end() { text_ += '}'; }
    bool empty() const { return rows_ == 0; }
    std::string text() const { return "[" + text_ + "]"; }

  private:
    void quote(const std::string& value) {
        text_ += '"';
        for (unsigned char c : value) {
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += char(c);
            } else if (c < 0x20) {
                char buffer[8];
                snprintf(buffer, sizeof buffer, "\\u%04x", c);
                text_ += buffer;
            } else {
                text_ += char(c);
            }
        }
        text_ += '"';
    }

    std::string text_;
    size_t rows_ = 0;
    bool first_ = true;
};

// Rows in COPY's text format: tab-separated columns, \N for a missing value.
class CopyRows {
  public:
    void column(const std::string& value) {
        if (!lineStart_) text_ += '\t';
        lineStart_ = false;
        for (char c : value) {
            switch (c) {
                case '\\': text_ += "\\\\"; break;
                case '\t': text_ += "\\t"; break;
                case '\n': text_ += "\\n"; break;
                case '\r': text_ += "\\r"; break;
                default: text_ += c;
            }
        }
    }
    void null() {
        if (!lineStart_) text_ += '\t';
        lineStart_ = false;
        text_ += "\\N";
    }
    void end() {
        text_ += '\n';
        lineStart_ = true;
    }
    bool empty() const { return text_.empty(); }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    bool lineStart_ = true;
};

std::string bigintArray(const std::vector<int64_t>& values) {
    std::string text = "{";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) text += ',';
        text += std::to_string(values[i]);
    }
    return text + "}";
}

// Thrown inside a call to leave its transaction; caught at the call's edge and turned into
// the call's error. Never crosses the Backend interface.
struct Failure {
    Error error;
};

struct PgResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};

// A finished statement's rows. Values are read as text and checked: a NULL or a value of
// the wrong kind where the schema allows none fails the call, never the program.
class Rows {
  public:
    explicit Rows(PGresult* result) : r_(result) {}
    int count() const { return r_ ? PQntuples(r_.get()) : 0; }
    int columns() const { return r_ ? PQnfields(r_.get()) : 0; }
    std::string columnName(int c) const { return PQfname(r_.get(), c); }
    bool isNull(int row, int c) const { return PQgetisnull(r_.get(), row, c) != 0; }
    std::string text(int row, int c) const {
        if (isNull(row, c)) {
            throw Failure{Error(ErrorCode::InternalError,
                                "the server sent no value for \"" + columnName(c) + "\"")};
        }
        return std::string(PQgetvalue(r_.get(), row, c),
                           static_cast<size_t>(PQgetlength(r_.get(), row, c)));
    }
    std::string textOrEmpty(int row, int c) const {
        return isNull(row, c) ? std::string() : text(row, c);
    }
    int64_t integer(int row, int c) const {
        const std::string t = text(row, c);
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(t.c_str(), &end, 10);
        if (t.empty() || *end || errno) {
            throw Failure{
                Error(ErrorCode::InternalError,
                      "the server sent \"" + t + "\" for the number \"" + columnName(c) + "\"")};
        }
        return v;
    }

  private:
    std::unique_ptr<PGresult, PgResultDeleter> r_;
};

using Params = std::vector<std::string>;

// How long until `deadline`, for poll(), at least 0.
int remainingMillis(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<int64_t>(left, 60000));
}

// Waits for the socket; false when the deadline passed first.
bool waitSocket(int socket, bool forWrite, Clock::time_point deadline) {
    pollfd p{socket, static_cast<short>(forWrite ? (POLLOUT | POLLIN) : POLLIN), 0};
    for (;;) {
        const int n = ::poll(&p, 1, remainingMillis(deadline));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return true;  // let libpq find and report the socket's error
    }
}

std::string trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

struct ParsedOptions {
    bool ok = false;
    std::map<std::string, std::string> values;  // keyword to value, for given ones only
};

ParsedOptions parseConnectionString(const std::string& text) {
    ParsedOptions parsed;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
    if (error) PQfreemem(error);
    if (!options) return parsed;
    parsed.ok = true;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val) parsed.values[o->keyword] = o->val;
    }
    PQconninfoFree(options);
    return parsed;
}

// One connection to the server, given up (and opened again by the next call) whenever it
// fails or a statement outlives its timeout: a half-dead connection is never reused.
class Connection {
  public:
    Connection(std::string connectionString, int connectTimeout)
        : connectionString_(std::move(connectionString)), connectTimeout_(connectTimeout) {}
    ~Connection() { drop(); }

    bool connected() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }
    PGconn* raw() const { return conn_; }

    void drop() {
        if (conn_) PQfinish(conn_);
        conn_ = nullptr;
    }

    // Connects unless connected; a failure is a network error naming the server's reason.
    void ensure() {
        if (connected()) return;
        drop();
        // Ours come first: the caller's string, expanded after them, overrides any of them.
        const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
        const std::string timeout = std::to_string(connectTimeout_);
        const char* values[] = {timeout.c_str(), "wovanu-typing", connectionString_.c_str(),
                                nullptr};
        conn_ = PQconnectStartParams(keywords, values, 1);
        if (!conn_) throw Failure{Error(ErrorCode::NetworkUnavailable, "out of memory")};
        const auto deadline = Clock::now() + std::chrono::seconds(connectTimeout_);
        PostgresPollingStatusType state = PGRES_POLLING_WRITING;
        while (PQstatus(conn_) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
               state != PGRES_POLLING_FAILED) {
            if (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
                if (!waitSocket(PQsocket(conn_), state == PGRES_POLLING_WRITING, deadline)) {
                    drop();
                    throw Failure{Error(ErrorCode::NetworkUnavailable,
                                        "the server did not answer within " + timeout + " s")};
                }
            }
            state = PQconnectPoll(conn_);
        }
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string message = trimmed(PQerrorMessage(conn_));
            drop();
            throw Failure{
                Error(ErrorCode::NetworkUnavailable, "cannot reach the server: " + message)};
        }
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
        PQsetnonblocking(conn_, 1);
        // A backend waiting on a lock notices a vanished client only when asked to look; a
        // server too old to look is still a server.
        try {
            exec("SET client_connection_check_interval = 1000");
        } catch (const Failure&) {
            if (!connected()) throw;
        }
    }

    // Runs one statement with bound text parameters.
    Rows exec(const std::string& sql, const Params& params = {}) {
        if (!connected()) throw lost("the connection is closed");
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const auto& p : params) values.push_back(p.c_str());
        if (!PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                               values.data(), nullptr, nullptr, 0)) {
            throw lost(trimmed(PQerrorMessage(conn_)));
        }
        const auto deadline =
            Clock::now() + std::chrono::seconds(PgBackend::kRequestTimeoutSeconds);
        flush(deadline);
        return collect(deadline);
    }

    // Sends `data`, rows in COPY's text format, to a "COPY ... FROM STDIN" statement: many
    // rows go in at a fraction of what the same rows cost as parameters of one INSERT.
    Rows copyIn(const std::string& sql, const std::string& data) {
        if (!connected()) throw lost("the connection is closed");
        if (!PQsendQuery(conn_, sql.c_str())) throw lost(trimmed(PQerrorMessage(conn_)));
        const auto deadline =
            Clock::now() + std::chrono::seconds(PgBackend::kRequestTimeoutSeconds);
        flush(deadline);
        awaitInput(deadline);
        PGresult* ready = PQgetResult(conn_);
        if (!ready) throw lost("the server sent no result");
        if (PQresultStatus(ready) != PGRES_COPY_IN) {
            // Refused before any row: the rest of the reply says why.
            Failure failure = serverError(ready);
            PQclear(ready);
            while (PGresult* r = PQgetResult(conn_)) PQclear(r);
            throw failure;
        }
        PQclear(ready);
        constexpr size_t kChunk = 256 * 1024;
        for (size_t at = 0; at < data.size();) {
            const size_t n = std::min(kChunk, data.size() - at);
            const int sent = PQputCopyData(conn_, data.data() + at, static_cast<int>(n));
            if (sent < 0) throw lost(trimmed(PQerrorMessage(conn_)));
            if (sent == 1) {
                at += n;
            } else if (!waitSocket(PQsocket(conn_), true, deadline)) {
                throw timedOut();
            }
        }
        for (;;) {
            const int ended = PQputCopyEnd(conn_, nullptr);
            if (ended < 0) throw lost(trimmed(PQerrorMessage(conn_)));
            if (ended == 1) break;
            if (!waitSocket(PQsocket(conn_), true, deadline)) throw timedOut();
        }
        flush(deadline);
        return collect(deadline);
    }

  private:
    // Sends what libpq still holds for the server.
    void flush(Clock::time_point deadline) {
        for (;;) {
            const int flushed = PQflush(conn_);
            if (flushed < 0) throw lost(trimmed(PQerrorMessage(conn_)));
            if (flushed == 0) break;
            if (!waitSocket(PQsocket(conn_), true, deadline)) throw timedOut();
            if (!PQconsumeInput(conn_)) throw lost(trimmed(PQerrorMessage(conn_)));
        }
    }

    // Reads until a whole result is in.
    void awaitInput(Clock::time_point deadline) {
        while (PQisBusy(conn_)) {
            if (!waitSocket(PQsocket(conn_), false, deadline)) throw timedOut();
            if (!PQconsumeInput(conn_)) throw lost(trimmed(PQerrorMessage(conn_)));
        }
    }

    // Takes every result of the statement sent; the last one is its answer.
    Rows collect(Clock::time_point deadline) {
        PGresult* last = nullptr;
        std::optional<Failure> failure;
        for (;;) {
            try {
                awaitInput(deadline);
            } catch (...) {
                if (last) PQclear(last);
                throw;
            }
            PGresult* r = PQgetResult(conn_);
            if (!r) break;
            const auto status = PQresultStatus(r);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && !failure) {
                failure = serverError(r);
            }
            if (last) PQclear(last);
            last = r;
        }
        if (failure) {
            if (last) PQclear(last);
            if (!connected()) {
                drop();
                failure->error =
                    Error(ErrorCode::NetworkFailure,
                          "the connection to the server was lost: " + failure->error.detail());
            }
            throw *failure;
        }
        if (!last) throw lost("the server sent no result");
        return Rows(last);
    }

    Failure lost(const std::string& why) {
        drop();
        return Failure{
            Error(ErrorCode::NetworkFailure, "the connection to the server was lost: " + why)};
    }

    Failure timedOut() {
        drop();
        return Failure{Error(ErrorCode::NetworkFailure,
                             "the server did not answer within " +
                                 std::to_string(PgBackend::kRequestTimeoutSeconds) + " s")};
    }

    static Failure serverError(PGresult* r) {
        const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        const std::string code = state ? state : "";
        const std::string message = trimmed(PQresultErrorMessage(r));
        // Conflicts between writers and a server going down are worth a retry; anything
        // else is a fault of the request or of the stored data.
        if (code == "40001" || code == "40P01" || code == "55P03" || code.rfind("57P", 0) == 0 ||
            code.rfind("53", 0) == 0) {
            return Failure{Error(ErrorCode::ServiceUnavailable, message)};
        }
        if (code.rfind("08", 0) == 0) return Failure{Error(ErrorCode::NetworkFailure, message)};
        return Failure{Error(ErrorCode::InternalError, message)};
    }

    std::string connectionString_;
    int connectTimeout_;
    PGconn* conn_ = nullptr;
};

struct InstallationState {
    std::optional<AccountStatus> status;
    bool networkDown = false;
    bool registered = false;
    int64_t pushCursor = 0;
    bool hold = false;
};

// A fault armed for records, consumed in memory over one request and written back once.
struct RecordFault {
    int64_t id;
    std::string recordName;
    int64_t remaining;
    ErrorCode code;
    bool used = false;
};

std::string channelFor(const std::string& container, const std::string& account) {
    char buffer[24];
    snprintf(buffer, sizeof buffer, "%016llx",
             static_cast<unsigned long long>(fingerprint(container + "\n" + account)));
    return std::string("wovanu_") + buffer;
}

}  // namespace

struct PgBackend::Impl {
    std::string connectionString;
    std::string container;
    int connectTimeout = kConnectTimeoutSeconds;
    std::unique_ptr<Connection> conn;
    std::optional<Error> openError;  // permanent: a string that does not parse, a stranger
    bool schemaReady = false;
    std::atomic<bool> interrupted{false};

    // The listener: its own connection and thread, started once the account is known and a
    // change handler is set.
    std::mutex listenerMutex;
    std::condition_variable listenerWake;
    std::function<void()> changeHandler;
    std::string listenedAccount;
    bool listenerStop = false;
    std::thread listener;

    ~Impl() { stopListener(); }

    std::string named(const std::string& what) const {
        return what + " (" + describe(connectionString) + ")";
    }

    // Connects and checks or creates the schema; a network failure leaves it to the next
    // call, a refusal is kept.
    void ready() {
        if (openError) throw Failure{*openError};
        conn->ensure();
        if (!schemaReady) {
            try {
                prepareSchema();
            } catch (const Failure& f) {
                if (f.error.code() == ErrorCode::BadContainer) openError = f.error;
                throw;
            }
            schemaReady = true;
        }
    }

    void prepareSchema();

    Rows exec(const std::string& sql, const Params& params = {}) { return conn->exec(sql, params); }
    Rows copyIn(const std::string& sql, const std::string& data) {
        return conn->copyIn(sql, data);
    }

    class Transaction {
      public:
        explicit Transaction(Impl& impl) : impl_(impl) { impl_.exec("BEGIN"); }
        ~Transaction() {
            if (done_ || !impl_.conn->connected()) return;
            try {
                impl_.exec("ROLLBACK");
            } catch (const Failure&) {
            }
        }
        void commit() {
            done_ = true;
            impl_.exec("COMMIT");
        }

      private:
        Impl& impl_;
        bool done_ = false;
    };

    std::string meta(const std::string& key) {
        Rows r = exec("SELECT value FROM meta WHERE key = $1", {key});
        return r.count() ? r.text(0, 0) : std::string();
    }

    int64_t epoch() {
        const std::string text = meta("epoch");
        try {
            return std::stoll(text);
        } catch (...) {
            throw Failure{Error(ErrorCode::InternalError, "the server's epoch is not a number")};
        }
    }

    std::string setting(const std::string& key, const std::string& fallback) {
        Rows r = exec("SELECT value FROM settings WHERE key = $1", {key});
        return r.count() ? r.text(0, 0) : fallback;
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

    static InstallationState stateFrom(const Rows& r) {
        InstallationState st;
        if (r.count()) {
            if (!r.isNull(0, 0)) st.status = static_cast<AccountStatus>(r.integer(0, 0));
            st.networkDown = r.integer(0, 1) != 0;
            st.registered = r.integer(0, 2) != 0;
            st.pushCursor = r.integer(0, 3);
            st.hold = r.integer(0, 4) != 0;
        }
        return st;
    }

    // Records the installation's sighting and returns its controls.
    InstallationState touch(const Caller& caller) {
        const std::string now = exactDouble(wallTime());
        Rows r = exec(
            "INSERT INTO installations(id, account, first_seen, last_seen) VALUES($1, $2, $3, $3)"
            " ON CONFLICT(id) DO UPDATE SET account = excluded.account,"
            " last_seen = excluded.last_seen"
            " RETURNING account_status, network_down, registered, push_cursor, hold",
            {caller.installation, caller.account, now});
        startListener(caller.account);
        return stateFrom(r);
    }

    InstallationState state(const std::string& installation) {
        return stateFrom(
            exec("SELECT account_status, network_down, registered, push_cursor, hold"
                 " FROM installations WHERE id = $1",
                 {installation}));
    }

    static AccountResult account(const Caller& caller, const InstallationState& st) {
        if (st.networkDown) {
            return {AccountStatus::CouldNotDetermine,
                    Error(ErrorCode::NetworkUnavailable, "the network is down")};
        }
        if (caller.account.empty()) return {AccountStatus::NoAccount, std::nullopt};
        return {st.status.value_or(AccountStatus::Available), std::nullopt};
    }

    std::optional<Error> takeFault(const Caller& caller, const std::string& kind) {
        Rows r = exec(
            "UPDATE faults SET remaining = remaining - 1 WHERE id = (SELECT id FROM faults"
            " WHERE (installation = $1 OR installation = '*') AND kind = $2 AND record_name = ''"
            " AND remaining > 0 ORDER BY id LIMIT 1 FOR UPDATE) RETURNING error",
            {caller.installation, kind});
        if (!r.count()) return std::nullopt;
        const ErrorCode code = errorCodeNamed(r.text(0, 0)).value_or(ErrorCode::InternalError);
        return Error(code, "injected by the control surface");
    }

    std::vector<RecordFault> recordFaults(const Caller& caller) {
        Rows r = exec(
            "SELECT id, record_name, remaining, error FROM faults WHERE (installation = $1 OR"
            " installation = '*') AND kind = 'record' AND remaining > 0 ORDER BY id FOR UPDATE",
            {caller.installation});
        std::vector<RecordFault> faults;
        for (int i = 0; i < r.count(); ++i) {
            faults.push_back({r.integer(i, 0), r.text(i, 1), r.integer(i, 2),
                              errorCodeNamed(r.text(i, 3)).value_or(ErrorCode::InternalError)});
        }
        return faults;
    }

    static std::optional<Error> takeRecordFault(std::vector<RecordFault>& faults,
                                                const std::string& name) {
        for (auto& f : faults) {
            if (f.recordName == name && f.remaining > 0) {
                --f.remaining;
                f.used = true;
                return Error(f.code, "injected by the control surface");
            }
        }
        return std::nullopt;
    }

    void writeBack(const std::vector<RecordFault>& faults) {
        for (const auto& f : faults) {
            if (f.used) {
                exec("UPDATE faults SET remaining = $1 WHERE id = $2",
                     {number(f.remaining), number(f.id)});
            }
        }
    }

    std::optional<Error> admit(const Caller& caller, const std::string& kind, bool needsAccount) {
        const InstallationState st = touch(caller);
        const AccountResult acct = account(caller, st);
        if (acct.error) return acct.error;
        if (needsAccount && acct.status != AccountStatus::Available) {
            return Error(ErrorCode::NotAuthenticated, "no available account for this installation");
        }
        return takeFault(caller, kind);
    }

    void log(const Caller& caller, const std::string& operation, const std::string& detail,
             const std::optional<Error>& error) {
        exec(
            "INSERT INTO log(at, installation, account, operation, detail, outcome)"
            " VALUES($1, $2, $3, $4, $5, $6)",
            {exactDouble(wallTime()), caller.installation, caller.account, operation, detail,
             error ? error->description() : std::string("ok")});
    }

    // Writers queue here; the lock is held to the end of the transaction.
    void lockCounter() { exec("SELECT value FROM counter WHERE id = 1 FOR UPDATE"); }

    int64_t newChange(const Caller& caller, const std::string& operation) {
        Rows r = exec("UPDATE counter SET value = value + 1 WHERE id = 1 RETURNING value");
        if (!r.count()) throw Failure{Error(ErrorCode::InternalError, "the counter row is gone")};
        const int64_t seq = r.integer(0, 0);
        exec(
            "INSERT INTO changes(seq, at, installation, account, operation)"
            " VALUES($1, $2, $3, $4, $5)",
            {number(seq), exactDouble(wallTime()), caller.installation, caller.account, operation});
        return seq;
    }

    // Delivered to the account's listeners when the transaction commits.
    void announce(const std::string& account, const char* what) {
        exec("SELECT pg_notify($1, $2)", {channelFor(container, account), what});
    }

    void holdIfAsked(const Caller& caller) {
        try {
            if (!state(caller.installation).hold) return;
            setHeld(caller.installation, true);
            while (!interrupted.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (!state(caller.installation).hold) break;
            }
            setHeld(caller.installation, false);
        } catch (const Failure&) {
        }
    }

    void setHeld(const std::string& installation, bool held) {
        exec("UPDATE installations SET held = $1 WHERE id = $2", {held ? "1" : "0", installation});
    }

    uint64_t scopeFingerprint(const std::string& key) const {
        return fingerprint(container + "\n" + key);
    }

    struct Stored {
        int64_t id;
        std::string zone, name, type, tag;
    };

    // Builds the records of `rows` with their fields, in the order of `rows`; a record whose
    // fields cannot be read lands in `failures` instead.
    std::vector<std::optional<Record>> loadRecords(const std::vector<Stored>& rows,
                                                   std::vector<Error>* failures) {
        std::vector<std::optional<Record>> records;
        if (rows.empty()) return records;
        std::vector<int64_t> ids;
        for (const auto& s : rows) ids.push_back(s.id);
        // One index lookup per record, whatever the planner guesses: on a table not yet
        // analysed (right after a large load) it takes "record = ANY(...)" of a page for most
        // of the table and reads all of it.
        Rows f = exec(
            "SELECT f.record, f.key, f.type, f.value FROM unnest($1::bigint[]) AS u(id)"
            " CROSS JOIN LATERAL (SELECT record, key, type, value, position FROM fields"
            " WHERE record = u.id OFFSET 0) AS f ORDER BY f.record, f.position",
            {bigintArray(ids)});
        std::unordered_map<int64_t, std::vector<int>> byRecord;
        for (int i = 0; i < f.count(); ++i) byRecord[f.integer(i, 0)].push_back(i);
        for (const auto& s : rows) {
            Record record(s.type, RecordID(s.name, s.zone));
            record.setRecordChangeTag(s.tag);
            std::optional<std::string> bad;
            for (int i : byRecord[s.id]) {
                const std::string key = f.textOrEmpty(i, 1);
                const std::string kind = f.textOrEmpty(i, 2);
                const bool null = f.isNull(i, 3);
                const std::string value = null ? std::string() : f.text(i, 3);
                char* end = nullptr;
                errno = 0;
                if (kind == "int64" && !null) {
                    const long long v = std::strtoll(value.c_str(), &end, 10);
                    if (!value.empty() && !*end && !errno) {
                        record.setObject(key, int64_t(v));
                        continue;
                    }
                } else if (kind == "double" && !null) {
                    const double v = std::strtod(value.c_str(), &end);
                    if (!value.empty() && !*end) {
                        record.setObject(key, v);
                        continue;
                    }
                } else if (kind == "string" && !null) {
                    record.setObject(key, value);
                    continue;
                }
                bad = key + "\" of type \"" + kind + "\" holds " +
                      (null ? std::string("nothing") : "\"" + value + "\"");
                break;
            }
            if (bad) {
                Error e(ErrorCode::InternalError, "record " + s.name + ": field \"" + *bad);
                e.recordID = RecordID(s.name, s.zone);
                if (failures) failures->push_back(e);
                records.push_back(std::nullopt);
            } else {
                records.push_back(std::move(record));
            }
        }
        return records;
    }

    // The stored rows of `ids` in `scope`, by zone and name.
    std::map<std::pair<std::string, std::string>, Stored> find(const std::string& scope,
                                                               const std::vector<RecordID>& ids) {
        std::map<std::pair<std::string, std::string>, Stored> found;
        if (ids.empty()) return found;
        JsonRows wanted;
        for (const auto& id : ids) {
            wanted.begin();
            wanted.field("zone", id.zoneName());
            wanted.field("name", id.recordName());
            wanted.end();
        }
        Rows r = exec(
            "SELECT DISTINCT r.id, r.zone, r.name, r.type, r.change_tag"
            " FROM jsonb_to_recordset($2::jsonb) AS x(zone text, name text)"
            " CROSS JOIN LATERAL (SELECT id, zone, name, type, change_tag FROM records"
            " WHERE scope = $1 AND zone = x.zone AND name = x.name OFFSET 0) AS r",
            {scope, wanted.text()});
        for (int i = 0; i < r.count(); ++i) {
            Stored s{r.integer(i, 0), r.text(i, 1), r.text(i, 2), r.text(i, 3), r.text(i, 4)};
            found[{s.zone, s.name}] = s;
        }
        return found;
    }

    template <class Result, class Body>
    Result call(Body&& body) {
        Result result;
        try {
            ready();
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
        try {
            ready();
            Transaction txn(*this);
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
        const std::string now = exactDouble(wallTime());
        exec(
            "INSERT INTO installations(id, account, first_seen, last_seen) VALUES($1, '', $2, $2)"
            " ON CONFLICT(id) DO NOTHING",
            {installation, now});
    }

    void startListener(const std::string& account) {
        std::lock_guard lock(listenerMutex);
        if (account.empty() || !listenedAccount.empty() || !changeHandler || listenerStop) return;
        listenedAccount = account;
        listener = std::thread([this] { listen(); });
    }

    void stopListener() {
        {
            std::lock_guard lock(listenerMutex);
            listenerStop = true;
        }
        listenerWake.notify_all();
        if (listener.joinable()) listener.join();
    }

    void wakeContainer() {
        std::function<void()> handler;
        {
            std::lock_guard lock(listenerMutex);
            handler = changeHandler;
        }
        if (handler) handler();
    }

    void listen();
};

void PgBackend::Impl::listen() {
    std::string channel;
    {
        std::lock_guard lock(listenerMutex);
        channel = channelFor(container, listenedAccount);
    }
    auto stopping = [this] {
        std::lock_guard lock(listenerMutex);
        return listenerStop;
    };
    // Reconnection waits grow from a tenth of a second to five seconds.
    double backoff = 0.1;
    while (!stopping()) {
        Connection c(connectionString, connectTimeout);
        try {
            c.ensure();
            char* escaped = PQescapeIdentifier(c.raw(), channel.data(), channel.size());
            if (!escaped) throw Failure{Error(ErrorCode::InternalError, "cannot name the channel")};
            const std::string sql = std::string("LISTEN ") + escaped;
            PQfreemem(escaped);
            c.exec(sql);
            backoff = 0.1;
            // Whatever was announced while no one listened is caught up from the cursor.
            wakeContainer();
            while (!stopping()) {
                pollfd p{PQsocket(c.raw()), POLLIN, 0};
                const int n = ::poll(&p, 1, 200);
                if (n < 0 && errno != EINTR) break;
                if (n > 0 && !PQconsumeInput(c.raw())) break;
                bool news = false;
                while (PGnotify* note = PQnotifies(c.raw())) {
                    const std::string payload = note->extra ? note->extra : "";
                    // Only the server's own announcements wake the container; anything else on
                    // the channel is not ours to act on.
                    if (payload == "notifications" || payload == "key-values") news = true;
                    PQfreemem(note);
                }
                if (news) wakeContainer();
                if (PQstatus(c.raw()) != CONNECTION_OK) break;
            }
        } catch (const Failure&) {
        }
        c.drop();
        std::unique_lock lock(listenerMutex);
        listenerWake.wait_for(lock, std::chrono::duration<double>(backoff),
                              [this] { return listenerStop; });
        backoff = std::min(backoff * 2, 5.0);
    }
}

void PgBackend::Impl::prepareSchema() {
    Transaction txn(*this);
    exec(kSchemaLock);
    Rows r = exec(
        "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p', 'v', 'm', 'f', 'S')");
    std::set<std::string> present;
    for (int i = 0; i < r.count(); ++i) present.insert(r.text(i, 0));
    if (present.empty()) {
        for (const char* sql : kSchema) exec(sql);
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {"schema", std::to_string(kSchemaVersion)},
                 {"container", container},
                 {"epoch", "1"}}) {
            exec("INSERT INTO meta(key, value) VALUES($1, $2)", {key, value});
        }
        txn.commit();
        return;
    }
    const std::set<std::string> ours(std::begin(kRelations), std::end(kRelations));
    std::vector<std::string> foreign, missing;
    for (const auto& name : present)
        if (!ours.count(name)) foreign.push_back(name);
    for (const auto& name : ours)
        if (!present.count(name)) missing.push_back(name);
    auto refuse = [&](const std::string& why) {
        throw Failure{Error(ErrorCode::BadContainer, named("refused: " + why))};
    };
    if (!foreign.empty())
        refuse("the database holds tables of another program (" + foreign[0] + ")");
    if (!missing.empty()) refuse("the database lacks the table \"" + missing[0] + "\"");
    const std::string schema = meta("schema");
    int version = 0;
    try {
        version = std::stoi(schema);
    } catch (...) {
        refuse("the schema version \"" + schema + "\" is not a number");
    }
    if (version > kSchemaVersion) {
        refuse("schema version " + schema + " is newer than this program's " +
               std::to_string(kSchemaVersion));
    }
    const std::string held = meta("container");
    if (held != container) refuse("holds container \"" + held + "\", not \"" + container + "\"");
    txn.commit();
}

PgBackend::PgBackend(std::string connectionString, std::string containerIdentifier)
    : impl_(std::make_unique<Impl>()) {
    impl_->connectionString = std::move(connectionString);
    impl_->container = std::move(containerIdentifier);
    const ParsedOptions parsed = parseConnectionString(impl_->connectionString);
    if (!parsed.ok) {
        impl_->openError =
            Error(ErrorCode::BadContainer,
                  "the cloud server's connection string does not parse (give key=value pairs,"
                  " such as \"host=db.example dbname=wovanu\", or a postgresql:// URI)");
    } else if (auto it = parsed.values.find("connect_timeout"); it != parsed.values.end()) {
        try {
            // libpq treats anything under 2 seconds as 2.
            impl_->connectTimeout = std::max(2, std::stoi(it->second));
        } catch (...) {
        }
    }
    impl_->conn = std::make_unique<Connection>(impl_->connectionString, impl_->connectTimeout);
}

PgBackend::~PgBackend() = default;

std::string PgBackend::channelFor(const std::string& containerIdentifier,
                                  const std::string& account) {
    return ck::channelFor(containerIdentifier, account);
}

std::string PgBackend::describe(const std::string& connectionString) {
    const ParsedOptions parsed = parseConnectionString(connectionString);
    if (!parsed.ok) return "server (a connection string that does not parse)";
    std::string text = "server";
    for (const char* key : {"host", "hostaddr", "port", "dbname", "user", "sslmode"}) {
        if (auto it = parsed.values.find(key); it != parsed.values.end() && !it->second.empty()) {
            text += std::string(" ") + key + "=" + it->second;
        }
    }
    return text;
}

std::optional<Error> PgBackend::open() {
    auto& d = *impl_;
    try {
        d.ready();
    } catch (const Failure& failure) {
        // A server that does not answer now may answer later; only a refusal is final.
        if (d.openError) return d.openError;
        (void)failure;
    }
    return std::nullopt;
}

std::string PgBackend::location() const { return describe(impl_->connectionString); }

void PgBackend::interrupt() { impl_->interrupted = true; }

void PgBackend::setChangeHandler(std::function<void()> handler) {
    std::lock_guard lock(impl_->listenerMutex);
    impl_->changeHandler = std::move(handler);
}

AccountResult PgBackend::accountStatus(const Caller& caller) {
    auto& d = *impl_;
    try {
        d.ready();
        Impl::Transaction txn(d);
        const InstallationState st = d.touch(caller);
        AccountResult result = Impl::account(caller, st);
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

std::optional<Error> PgBackend::registerForPushes(const Caller& caller) {
    auto& d = *impl_;
    return d.control([&] {
        d.touch(caller);
        d.exec(
            "UPDATE installations SET push_cursor = (SELECT coalesce(max(id), 0) FROM"
            " notifications WHERE account = $1), registered = 1 WHERE id = $2 AND registered = 0",
            {caller.account, caller.installation});
        d.log(caller, "register", "pushes", std::nullopt);
    });
}

PollResult PgBackend::poll(const Caller& caller, int64_t keyValueCursor) {
    auto& d = *impl_;
    PollResult result;
    try {
        d.ready();
        int64_t newest = 0;
        InstallationState st;
        {
            Impl::Transaction txn(d);
            st = d.state(caller.installation);
            result.account = Impl::account(caller, st);
            Rows n = d.exec("SELECT coalesce(max(id), 0) FROM notifications WHERE account = $1",
                            {caller.account});
            newest = n.count() ? n.integer(0, 0) : 0;
            Rows k = d.exec(
                "SELECT coalesce(max(seq), 0) FROM keyvalues WHERE account = $1 AND writer != $2",
                {caller.account, caller.installation});
            result.keyValuesChanged = k.count() && k.integer(0, 0) > keyValueCursor;
            txn.commit();
        }
        d.startListener(caller.account);
        if (st.registered && newest > st.pushCursor && !st.networkDown) {
            Impl::Transaction txn(d);
            Rows now = d.exec("SELECT push_cursor FROM installations WHERE id = $1 FOR UPDATE",
                              {caller.installation});
            const int64_t cursor = now.count() ? now.integer(0, 0) : 0;
            const bool toOriginator = d.setting("push-originator", "0") == "1";
            Rows s = d.exec(
                "SELECT count(*) FROM notifications WHERE account = $1 AND id > $2 AND id <= $3"
                " AND (originator != $4 OR $5)",
                {caller.account, number(cursor), number(newest), caller.installation,
                 toOriginator ? "true" : "false"});
            result.push = s.count() && s.integer(0, 0) > 0;
            d.exec("UPDATE installations SET push_cursor = $1 WHERE id = $2 AND push_cursor < $1",
                   {number(newest), caller.installation});
            txn.commit();
        }
    } catch (const Failure& failure) {
        result = PollResult();
        result.account = {AccountStatus::CouldNotDetermine, failure.error};
    }
    return result;
}

ModifyResult PgBackend::modifyRecords(const Caller& caller, Scope scope,
                                      const std::vector<Record>& recordsToSave,
                                      const std::vector<RecordID>& recordIDsToDelete) {
    auto& d = *impl_;
    bool committed = false;
    auto result = d.call<ModifyResult>([&](ModifyResult& r) {
        Impl::Transaction txn(d);
        const std::string detail = std::to_string(recordsToSave.size()) + " saved, " +
                                   std::to_string(recordIDsToDelete.size()) + " deleted";
        std::set<std::string> announced;
        if (auto e = d.admit(caller, "modify", true)) {
            r.error = e;
        } else if (recordsToSave.size() + recordIDsToDelete.size() > kMaxRecordsPerModify) {
            r.error = Error(ErrorCode::LimitExceeded,
                            std::to_string(recordsToSave.size() + recordIDsToDelete.size()) +
                                " records in one request, at most " +
                                std::to_string(kMaxRecordsPerModify));
        } else {
            d.lockCounter();
            const std::string key = scopeKey(caller, scope);
            int64_t seq = 0;
            auto sequence = [&] { return seq ? seq : (seq = d.newChange(caller, "modify")); };
            std::vector<RecordFault> faults = d.recordFaults(caller);

            std::vector<RecordID> ids;
            for (const auto& record : recordsToSave) ids.push_back(record.recordID());
            for (const auto& id : recordIDsToDelete) ids.push_back(id);
            auto stored = d.find(key, ids);

            // What this request does, decided record by record as if one at a time.
            struct Known {
                bool exists;
                std::string type, tag;
                const Record* sentHere = nullptr;  // saved earlier in this request
                int64_t rowId = 0;
            };
            std::map<std::pair<std::string, std::string>, Known> known;
            for (const auto& [k, s] : stored) known[k] = {true, s.type, s.tag, nullptr, s.id};

            std::vector<Error> failures;
            std::vector<std::pair<const Record*, int>> changed;  // record, reason
            std::vector<const Record*> inserts, updates;
            std::vector<Impl::Stored> conflictRows;
            std::vector<size_t> conflictIndex;
            for (const Record& record : recordsToSave) {
                const RecordID& id = record.recordID();
                const std::pair<std::string, std::string> k{id.zoneName(), id.recordName()};
                if (auto fault = Impl::takeRecordFault(faults, id.recordName())) {
                    fault->recordID = id;
                    failures.push_back(*fault);
                    continue;
                }
                auto it = known.find(k);
                if (it != known.end() && it->second.exists) {
                    Known& kn = it->second;
                    const std::string currentTag = kn.sentHere ? changeTag(sequence()) : kn.tag;
                    if (!record.recordChangeTag() || *record.recordChangeTag() != currentTag ||
                        kn.type != record.recordType()) {
                        Error e(ErrorCode::ServerRecordChanged,
                                "record " + id.recordName() + " exists with another change tag");
                        e.recordID = id;
                        if (kn.sentHere) {
                            Record server = *kn.sentHere;
                            server.setRecordChangeTag(currentTag);
                            e.serverRecord = server;
                        } else {
                            conflictRows.push_back(
                                {kn.rowId, id.zoneName(), id.recordName(), kn.type, kn.tag});
                            conflictIndex.push_back(failures.size());
                        }
                        failures.push_back(e);
                        continue;
                    }
                    sequence();
                    if (kn.sentHere) {
                        // Saved twice in one request: the later fields win.
                        for (auto& u : inserts)
                            if (u == kn.sentHere) u = &record;
                        for (auto& u : updates)
                            if (u == kn.sentHere) u = &record;
                    } else {
                        updates.push_back(&record);
                    }
                    kn.sentHere = &record;
                    changed.emplace_back(&record, QueryNotification::RecordUpdated);
                } else {
                    if (record.recordChangeTag()) {
                        Error e(ErrorCode::UnknownItem,
                                "record " + id.recordName() + " is not on the server");
                        e.recordID = id;
                        failures.push_back(e);
                        continue;
                    }
                    sequence();
                    inserts.push_back(&record);
                    known[k] = {true, record.recordType(), changeTag(seq), &record, 0};
                    changed.emplace_back(&record, QueryNotification::RecordCreated);
                }
                Record saved = record;
                saved.setRecordChangeTag(changeTag(seq));
                r.saved.push_back(std::move(saved));
            }
            if (!conflictRows.empty()) {
                std::vector<Error> unused;
                auto loaded = d.loadRecords(conflictRows, &unused);
                for (size_t i = 0; i < loaded.size(); ++i)
                    failures[conflictIndex[i]].serverRecord = loaded[i];
            }
            d.writeBack(faults);

            const std::string tag = seq ? changeTag(seq) : std::string();
            if (!inserts.empty()) {
                JsonRows rows;
                int ord = 0;
                for (const Record* rec : inserts) {
                    rows.begin();
                    rows.field("ord", std::to_string(ord++));
                    rows.field("zone", rec->recordID().zoneName());
                    rows.field("name", rec->recordID().recordName());
                    rows.field("type", rec->recordType());
                    rows.end();
                }
                Rows made = d.exec(
                    "INSERT INTO records(scope, zone, name, type, change_tag, created_seq,"
                    " modified_seq, creator) SELECT $1, x.zone, x.name, x.type, $2, $3, $3, $4"
                    " FROM jsonb_to_recordset($5::jsonb) AS x(ord integer, zone text, name text,"
                    " type text) ORDER BY x.ord RETURNING id, zone, name",
                    {key, tag, number(seq), caller.installation, rows.text()});
                for (int i = 0; i < made.count(); ++i)
                    known[{made.text(i, 1), made.text(i, 2)}].rowId = made.integer(i, 0);
            }
            if (!updates.empty()) {
                JsonRows rows;
                for (const Record* rec : updates) {
                    rows.begin();
                    rows.field("zone", rec->recordID().zoneName());
                    rows.field("name", rec->recordID().recordName());
                    rows.end();
                }
                d.exec(
                    "UPDATE records r SET change_tag = $2, modified_seq = $3"
                    " FROM jsonb_to_recordset($4::jsonb) AS x(zone text, name text)"
                    " WHERE r.scope = $1 AND r.zone = x.zone AND r.name = x.name",
                    {key, tag, number(seq), rows.text()});
            }
            if (!inserts.empty() || !updates.empty()) {
                JsonRows names;
                CopyRows fields;
                for (const auto* list : {&inserts, &updates}) {
                    for (const Record* rec : *list) {
                        const std::string rowId = std::to_string(
                            known[{rec->recordID().zoneName(), rec->recordID().recordName()}]
                                .rowId);
                        // A new record has no fields to replace.
                        if (list == &updates) {
                            names.begin();
                            names.field("record", rowId);
                            names.end();
                        }
                        int position = 0;
                        for (const auto& [fieldKey, value] : rec->fields()) {
                            fields.column(rowId);
                            fields.column(std::to_string(position++));
                            fields.column(fieldKey);
                            fields.column(std::string(fieldTypeName(value)));
                            if (const auto* i = std::get_if<int64_t>(&value))
                                fields.column(std::to_string(*i));
                            else if (const auto* v = std::get_if<double>(&value))
                                fields.column(exactDouble(*v));
                            else if (const auto* t = std::get_if<std::string>(&value))
                                fields.column(*t);
                            else
                                fields.null();
                            fields.end();
                        }
                    }
                }
                if (!names.empty()) {
                    d.exec(
                        "DELETE FROM fields WHERE record IN (SELECT x.record FROM"
                        " jsonb_to_recordset($1::jsonb) AS x(record bigint))",
                        {names.text()});
                }
                if (!fields.empty()) {
                    d.copyIn("COPY fields(record, position, key, type, value) FROM STDIN",
                             fields.text());
                }
            }
            std::vector<Record> gone;
            if (!recordIDsToDelete.empty()) {
                JsonRows rows;
                for (const auto& id : recordIDsToDelete) {
                    rows.begin();
                    rows.field("zone", id.zoneName());
                    rows.field("name", id.recordName());
                    rows.end();
                }
                Rows deleted = d.exec(
                    "DELETE FROM records r USING jsonb_to_recordset($2::jsonb)"
                    " AS x(zone text, name text) WHERE r.scope = $1 AND r.zone = x.zone"
                    " AND r.name = x.name RETURNING r.zone, r.name, r.type",
                    {key, rows.text()});
                std::map<std::pair<std::string, std::string>, std::string> types;
                for (int i = 0; i < deleted.count(); ++i)
                    types[{deleted.text(i, 0), deleted.text(i, 1)}] = deleted.text(i, 2);
                for (const auto& id : recordIDsToDelete) {
                    auto it = types.find({id.zoneName(), id.recordName()});
                    if (it != types.end()) {
                        sequence();
                        gone.emplace_back(it->second, id);
                        types.erase(it);
                    }
                    r.deleted.push_back(id);
                }
            }
            for (const Record& g : gone) changed.emplace_back(&g, QueryNotification::RecordDeleted);

            if (!changed.empty()) {
                Rows subs = d.exec(
                    "SELECT owner, subscription_id, record_type, options FROM subscriptions"
                    " WHERE scope = $1 AND predicate = 1 ORDER BY id",
                    {key});
                JsonRows notes;
                int ord = 0;
                for (const auto& [record, reason] : changed) {
                    const int option = reason == QueryNotification::RecordCreated
                                           ? Subscription::FiresOnRecordCreation
                                       : reason == QueryNotification::RecordUpdated
                                           ? Subscription::FiresOnRecordUpdate
                                           : Subscription::FiresOnRecordDeletion;
                    for (int i = 0; i < subs.count(); ++i) {
                        if (subs.text(i, 2) != record->recordType() ||
                            (subs.integer(i, 3) & option) == 0) {
                            continue;
                        }
                        const std::string owner = subs.text(i, 0);
                        notes.begin();
                        notes.field("ord", std::to_string(ord++));
                        notes.field("account", owner);
                        notes.field("subscription", subs.text(i, 1));
                        notes.field("zone", record->recordID().zoneName());
                        notes.field("name", record->recordID().recordName());
                        notes.field("reason", std::to_string(reason));
                        notes.end();
                        announced.insert(owner);
                    }
                }
                if (!notes.empty()) {
                    d.exec(
                        "INSERT INTO notifications(account, seq, subscription_id, zone,"
                        " record_name, reason, originator) SELECT x.account, $1, x.subscription,"
                        " x.zone, x.name, x.reason, $2 FROM jsonb_to_recordset($3::jsonb) AS"
                        " x(ord integer, account text, subscription text, zone text, name text,"
                        " reason integer) ORDER BY x.ord",
                        {number(seq), caller.installation, notes.text()});
                }
            }
            if (!failures.empty()) {
                Error e(ErrorCode::PartialFailure, std::to_string(failures.size()) + " of " +
                                                       std::to_string(recordsToSave.size()) +
                                                       " records failed");
                e.partialErrors = std::move(failures);
                r.error = std::move(e);
            }
        }
        for (const auto& account : announced) d.announce(account, "notifications");
        d.log(caller, "modify", detail, r.error);
        txn.commit();
        committed = !r.saved.empty() || !r.deleted.empty();
    });
    if (committed) d.holdIfAsked(caller);
    return result;
}

QueryPage PgBackend::query(const Caller& caller, Scope scope, const std::optional<Query>& query,
                           const std::optional<QueryCursor>& cursor, int64_t limit) {
    auto& d = *impl_;
    return d.call<QueryPage>([&](QueryPage& page) {
        Impl::Transaction txn(d);
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
                Rows snap = d.exec("SELECT coalesce(max(id), 0) FROM records");
                c.snapshot = snap.count() ? static_cast<uint64_t>(snap.integer(0, 0)) : 0;
                c.position = c.order == QueryOrder::Reversed ? c.snapshot + 1 : 0;
            }
            detail += " of " + c.recordType;
            const int64_t pageSize =
                limit > 0 ? limit : d.settingNumber("page-size", kDefaultPageSize);
            std::vector<Impl::Stored> rows;
            auto collect = [&](const Rows& s, std::vector<Impl::Stored>& into) {
                for (int i = 0; i < s.count(); ++i) {
                    into.push_back(
                        {s.integer(i, 0), s.text(i, 1), s.text(i, 2), s.text(i, 3), s.text(i, 4)});
                }
            };
            if (c.predicate) {
                const std::string columns = "SELECT id, zone, name, type, change_tag FROM records";
                if (c.order == QueryOrder::Random) {
                    std::vector<Impl::Stored> all;
                    collect(d.exec(columns + " WHERE scope = $1 AND type = $2 AND id <= $3"
                                             " ORDER BY id",
                                   {key, c.recordType, number(int64_t(c.snapshot))}),
                            all);
                    std::mt19937_64 engine(c.seed);
                    std::shuffle(all.begin(), all.end(), engine);
                    for (size_t i = c.position; i < all.size() && rows.size() <= size_t(pageSize);
                         ++i) {
                        rows.push_back(all[i]);
                    }
                } else if (c.order == QueryOrder::Reversed) {
                    collect(d.exec(columns + " WHERE scope = $1 AND type = $2 AND id < $3"
                                             " ORDER BY id DESC LIMIT $4",
                                   {key, c.recordType, number(int64_t(c.position)),
                                    number(pageSize + 1)}),
                            rows);
                } else {
                    collect(d.exec(columns + " WHERE scope = $1 AND type = $2 AND id > $3"
                                             " AND id <= $4 ORDER BY id LIMIT $5",
                                   {key, c.recordType, number(int64_t(c.position)),
                                    number(int64_t(c.snapshot)), number(pageSize + 1)}),
                            rows);
                }
            }
            const bool more = rows.size() > size_t(pageSize);
            if (more) rows.resize(size_t(pageSize));
            std::vector<Error> failures;
            for (auto& record : d.loadRecords(rows, &failures)) {
                if (record) page.records.push_back(std::move(*record));
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

FetchResult PgBackend::fetchRecords(const Caller& caller, Scope scope,
                                    const std::vector<RecordID>& recordIDs) {
    auto& d = *impl_;
    return d.call<FetchResult>([&](FetchResult& r) {
        Impl::Transaction txn(d);
        const std::string key = scopeKey(caller, scope);
        if (auto e = d.admit(caller, "fetch", scope == Scope::Private)) {
            r.error = e;
        } else {
            std::vector<RecordFault> faults = d.recordFaults(caller);
            const auto stored = d.find(key, recordIDs);
            std::vector<Impl::Stored> wanted;
            for (const auto& [k, s] : stored) wanted.push_back(s);
            std::vector<Error> unreadable;
            auto loaded = d.loadRecords(wanted, &unreadable);
            std::map<std::pair<std::string, std::string>, size_t> at;
            for (size_t i = 0; i < wanted.size(); ++i) at[{wanted[i].zone, wanted[i].name}] = i;
            std::vector<Error> failures;
            for (const RecordID& id : recordIDs) {
                FetchedRecord item{id, std::nullopt, std::nullopt};
                if (auto fault = Impl::takeRecordFault(faults, id.recordName())) {
                    item.error = fault;
                } else if (auto it = at.find({id.zoneName(), id.recordName()}); it != at.end()) {
                    item.record = loaded[it->second];
                    if (!item.record) {
                        for (const auto& u : unreadable)
                            if (u.recordID == id) item.error = u;
                    }
                } else {
                    item.error = Error(ErrorCode::UnknownItem,
                                       "record " + id.recordName() + " is not on the server");
                }
                if (item.error) {
                    item.error->recordID = id;
                    failures.push_back(*item.error);
                }
                r.items.push_back(std::move(item));
            }
            d.writeBack(faults);
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

NotificationPage PgBackend::fetchNotificationChanges(const Caller& caller,
                                                     const std::optional<ServerChangeToken>& token,
                                                     int64_t limit) {
    auto& d = *impl_;
    return d.call<NotificationPage>([&](NotificationPage& page) {
        Impl::Transaction txn(d);
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
            Rows s = d.exec(
                "SELECT id, subscription_id, zone, record_name, reason FROM notifications"
                " WHERE account = $1 AND id > $2 ORDER BY id LIMIT $3",
                {caller.account, number(int64_t(position)), number(take + 1)});
            for (int i = 0; i < s.count(); ++i) {
                if (int64_t(page.notifications.size()) == take) {
                    page.moreComing = true;
                    break;
                }
                QueryNotification n;
                n.notificationID = std::to_string(s.integer(i, 0));
                n.subscriptionID = s.text(i, 1);
                n.containerIdentifier = d.container;
                n.recordID = RecordID(s.text(i, 3), s.text(i, 2));
                n.queryNotificationReason = static_cast<int>(s.integer(i, 4));
                position = static_cast<uint64_t>(s.integer(i, 0));
                page.notifications.push_back(std::move(n));
            }
            page.token = ServerChangeToken(scope, epoch, position);
        }
        d.log(caller, "notifications", std::to_string(page.notifications.size()) + " delivered",
              page.error);
        txn.commit();
    });
}

SubscriptionsResult PgBackend::fetchAllSubscriptions(const Caller& caller, Scope scope) {
    auto& d = *impl_;
    return d.call<SubscriptionsResult>([&](SubscriptionsResult& r) {
        Impl::Transaction txn(d);
        if (auto e = d.admit(caller, "subscriptions", true)) {
            r.error = e;
        } else {
            Rows s = d.exec(
                "SELECT subscription_id, record_type, predicate, options, content_available,"
                " sound_name FROM subscriptions WHERE scope = $1 ORDER BY id",
                {scopeKey(caller, scope)});
            for (int i = 0; i < s.count(); ++i) {
                Subscription sub(s.text(i, 0), s.text(i, 1),
                                 Predicate::withValue(s.integer(i, 2) != 0),
                                 static_cast<int>(s.integer(i, 3)));
                sub.setNotificationInfo({s.integer(i, 4) != 0, s.text(i, 5)});
                r.subscriptions.push_back(std::move(sub));
            }
        }
        d.log(caller, "subscriptions", std::to_string(r.subscriptions.size()) + " found", r.error);
        txn.commit();
    });
}

SubscriptionResult PgBackend::saveSubscription(const Caller& caller, Scope scope,
                                               const Subscription& subscription) {
    auto& d = *impl_;
    bool committed = false;
    auto result = d.call<SubscriptionResult>([&](SubscriptionResult& r) {
        Impl::Transaction txn(d);
        if (auto e = d.admit(caller, "save-subscription", true)) {
            r.error = e;
        } else {
            d.lockCounter();
            const int64_t seq = d.newChange(caller, "save-subscription");
            d.exec(
                "INSERT INTO subscriptions(scope, owner, subscription_id, record_type, predicate,"
                " options, content_available, sound_name, seq)"
                " VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9)"
                " ON CONFLICT(scope, subscription_id) DO UPDATE SET"
                " record_type = excluded.record_type, predicate = excluded.predicate,"
                " options = excluded.options, content_available = excluded.content_available,"
                " sound_name = excluded.sound_name, seq = excluded.seq",
                {scopeKey(caller, scope), caller.account, subscription.subscriptionID(),
                 subscription.recordType(), subscription.predicate().value() ? "1" : "0",
                 number(subscription.options()),
                 subscription.notificationInfo().shouldSendContentAvailable ? "1" : "0",
                 subscription.notificationInfo().soundName, number(seq)});
            r.subscription = subscription;
        }
        d.log(caller, "save-subscription", subscription.recordType(), r.error);
        txn.commit();
        committed = r.subscription.has_value();
    });
    if (committed) d.holdIfAsked(caller);
    return result;
}

KeyValueExchange PgBackend::exchangeKeyValues(const Caller& caller, const KeyValues& dirty,
                                              int64_t cursor) {
    auto& d = *impl_;
    bool wrote = false;
    auto result = d.call<KeyValueExchange>([&](KeyValueExchange& r) {
        Impl::Transaction txn(d);
        r.cursor = cursor;
        if (auto e = d.admit(caller, "key-value", true)) {
            r.error = e;
        } else {
            // The last of a key sent twice in one exchange wins, as it would one by one.
            std::map<std::string, std::string> latest;
            std::vector<std::string> order;
            for (const auto& [key, value] : dirty) {
                if (!latest.count(key)) order.push_back(key);
                latest[key] = plist::toXml(value);
            }
            if (!order.empty()) d.lockCounter();
            std::map<std::string, int64_t> oldSizes;
            if (!order.empty()) {
                JsonRows keys;
                for (const auto& key : order) {
                    keys.begin();
                    keys.field("key", key);
                    keys.end();
                }
                Rows old = d.exec(
                    "SELECT k.key, k.size FROM keyvalues k JOIN jsonb_to_recordset($2::jsonb)"
                    " AS x(key text) ON k.key = x.key WHERE k.account = $1",
                    {caller.account, keys.text()});
                for (int i = 0; i < old.count(); ++i) oldSizes[old.text(i, 0)] = old.integer(i, 1);
            }
            int64_t addedBytes = 0, addedKeys = 0;
            for (const auto& key : order) {
                const int64_t size = int64_t(key.size() + latest[key].size());
                if (auto it = oldSizes.find(key); it != oldSizes.end()) {
                    addedBytes += size - it->second;
                } else {
                    addedBytes += size;
                    ++addedKeys;
                }
            }
            Rows total =
                d.exec("SELECT count(*), coalesce(sum(size), 0) FROM keyvalues WHERE account = $1",
                       {caller.account});
            const int64_t keys = total.integer(0, 0) + addedKeys;
            const int64_t bytes = total.integer(0, 1) + addedBytes;
            if (!order.empty() && (keys > kKeyValueQuotaKeys || bytes > kKeyValueQuotaBytes)) {
                for (const auto& [key, value] : dirty) {
                    if (std::find(r.rejected.begin(), r.rejected.end(), key) == r.rejected.end())
                        r.rejected.push_back(key);
                }
            } else if (!order.empty()) {
                const int64_t seq = d.newChange(caller, "key-value");
                JsonRows rows;
                for (const auto& key : order) {
                    rows.begin();
                    rows.field("key", key);
                    rows.field("value", latest[key]);
                    rows.field("size", std::to_string(key.size() + latest[key].size()));
                    rows.end();
                }
                d.exec(
                    "INSERT INTO keyvalues(account, key, value, size, seq, writer)"
                    " SELECT $1, x.key, x.value, x.size, $2, $3 FROM jsonb_to_recordset($4::jsonb)"
                    " AS x(key text, value text, size bigint) ON CONFLICT(account, key) DO UPDATE"
                    " SET value = excluded.value, size = excluded.size, seq = excluded.seq,"
                    " writer = excluded.writer",
                    {caller.account, number(seq), caller.installation, rows.text()});
                d.announce(caller.account, "key-values");
                wrote = true;
            }
            // What is taken and how far the cursor moves come from one statement, so from one
            // snapshot: a second statement could see another's commit that the first did not,
            // and move the cursor past a value never received.
            Rows s = d.exec(
                "SELECT key, value, seq, writer = $3 FROM keyvalues WHERE account = $1"
                " AND seq > $2 ORDER BY seq, key",
                {caller.account, number(cursor), caller.installation});
            r.cursor = cursor;
            for (int i = 0; i < s.count(); ++i) {
                r.cursor = std::max(r.cursor, s.integer(i, 2));
                if (s.text(i, 3) == "t") continue;  // our own
                if (auto value = plist::fromXml(s.text(i, 1)))
                    r.changes.emplace_back(s.text(i, 0), std::move(*value));
            }
        }
        d.log(caller, "key-value",
              std::to_string(dirty.size()) + " sent, " + std::to_string(r.changes.size()) +
                  " received",
              r.error);
        txn.commit();
    });
    if (wrote && !result.error) d.holdIfAsked(caller);
    return result;
}

std::optional<Error> PgBackend::setAccountStatus(const std::string& installation,
                                                 std::optional<AccountStatus> status) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        if (status) {
            d.exec("UPDATE installations SET account_status = $1 WHERE id = $2",
                   {number(static_cast<int>(*status)), installation});
        } else {
            d.exec("UPDATE installations SET account_status = NULL WHERE id = $1", {installation});
        }
    });
}

std::optional<Error> PgBackend::setNetworkDown(const std::string& installation, bool down) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        d.exec("UPDATE installations SET network_down = $1 WHERE id = $2",
               {down ? "1" : "0", installation});
    });
}

std::optional<Error> PgBackend::setHold(const std::string& installation, bool hold) {
    auto& d = *impl_;
    return d.control([&] {
        d.ensureInstallationRow(installation);
        d.exec("UPDATE installations SET hold = $1 WHERE id = $2",
               {hold ? "1" : "0", installation});
    });
}

std::optional<Error> PgBackend::addFault(const Fault& fault) {
    auto& d = *impl_;
    return d.control([&] {
        d.exec(
            "INSERT INTO faults(installation, kind, record_name, remaining, error)"
            " VALUES($1, $2, $3, $4, $5)",
            {fault.installation, fault.kind, fault.recordName, number(fault.count),
             std::string(errorName(fault.code))});
    });
}

std::optional<Error> PgBackend::clearFaults() {
    auto& d = *impl_;
    return d.control([&] { d.exec("DELETE FROM faults"); });
}

std::optional<Error> PgBackend::setSetting(const std::string& key, const std::string& value) {
    auto& d = *impl_;
    return d.control([&] {
        d.exec(
            "INSERT INTO settings(key, value) VALUES($1, $2) ON CONFLICT(key) DO UPDATE SET"
            " value = excluded.value",
            {key, value});
    });
}

std::optional<Error> PgBackend::resetEpoch() {
    auto& d = *impl_;
    return d.control([&] {
        d.exec("UPDATE meta SET value = (CAST(value AS bigint) + 1)::text WHERE key = 'epoch'");
    });
}

Table PgBackend::inspect(const std::string& table) {
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
         "SELECT id, account, registered, push_cursor, coalesce(account_status::text, '')"
         " AS account_status, network_down, hold, held FROM installations"
         " ORDER BY first_seen, id"},
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
    try {
        d.ready();
        Rows s = d.exec(it->second);
        for (int c = 0; c < s.columns(); ++c) result.columns.push_back(s.columnName(c));
        for (int i = 0; i < s.count(); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < s.columns(); ++c) row.push_back(s.textOrEmpty(i, c));
            result.rows.push_back(std::move(row));
        }
    } catch (const Failure& failure) {
        result.error = failure.error;
    }
    return result;
}

}  // namespace wv::ck
