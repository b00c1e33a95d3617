#pragma once

namespace wv::sqlite {

class Database;

// One transaction on a connection: begun when made, rolled back when dropped unless
// commit() succeeded, so an early return or an exception never leaves half of a group of
// statements behind. Transactions do not nest: a guard made while another is open on the same
// connection fails to begin and commits or rolls back nothing.
class Transaction {
  public:
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when BEGIN failed (a closed connection, a transaction already open).
    bool isActive() const { return active_; }
    // True when every statement since the start is now durable; false (and rolled back)
    // otherwise.
    bool commit();
    void rollback();

  private:
    Database& database_;
    bool active_ = false;
};

}  // namespace wv::sqlite
