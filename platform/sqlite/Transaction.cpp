#include "platform/sqlite/Transaction.h"

#include "platform/sqlite/Database.h"

namespace wv::sqlite {

Transaction::Transaction(Database& database) : database_(database) {
    // IMMEDIATE takes the write lock now, so a writer in another process cannot make the
    // commit fail half-way through the group.
    active_ = database_.executeUpdate("BEGIN IMMEDIATE");
}

Transaction::~Transaction() { rollback(); }

bool Transaction::commit() {
    if (!active_) return false;
    active_ = false;
    if (database_.executeUpdate("COMMIT")) return true;
    database_.executeUpdate("ROLLBACK");
    return false;
}

void Transaction::rollback() {
    if (!active_) return;
    active_ = false;
    database_.executeUpdate("ROLLBACK");
}

}  // namespace wv::sqlite
