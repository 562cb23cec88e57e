// One level of a database transaction, held by a scope.
#pragma once

#include <QtGlobal>

#include <concepts>
#include <exception>
#include <utility>

// Begun when made, committed only by commit(), and rolled back when it goes
// (a failure, a cancel, an early return) without having committed. It runs
// the database's own calls, so levels nest as the database nests them:
// - AbsLocalDb and AbsDb (and the classes derived from them): beginTran,
//   which opens the file first, and endTran, whose outermost commit of a
//   unit that was rolled back meanwhile throws, as nothing was saved.
// - Sqlite3DB: beginTran, commitTran and rollbackTran of the bare
//   connection. A class derived from AbsDb that wants a level on its bare
//   connection says so: Transaction<Sqlite3DB>(*this).
// A connection that was closed meanwhile has ended its transaction (closing
// rolls it back): the guard then lets go without reopening anything.
template <class Db> class Transaction {
public:
    // Holds nothing (a guard is moved into it later).
    Transaction() noexcept = default;
    // Begins a level on db; throws what the begin throws.
    [[nodiscard]] explicit Transaction(Db& db)
    {
        db.beginTran();
        m_db = &db;
    }
    Transaction(Transaction&& other) noexcept
        : m_db(std::exchange(other.m_db, nullptr))
    {
    }
    // Rolls back the level this guard held, then takes other's.
    Transaction& operator=(Transaction&& other) noexcept
    {
        if (this != &other) {
            rollback();
            m_db = std::exchange(other.m_db, nullptr);
        }
        return *this;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() { rollback(); }

    // Between the begin and the commit or rollback.
    bool isActive() const { return m_db != nullptr; }

    // Commits the level and returns whether it committed: false when the
    // unit had been rolled back meanwhile (an inner level failed, or SQLite
    // ended it on its own), so nothing of the level is kept; the outermost
    // level of AbsLocalDb and AbsDb throws std::runtime_error then instead.
    // When the commit itself throws, the guard still holds the level and
    // rolls it back as it goes. False without a level.
    bool commit()
    {
        if (!m_db)
            return false;
        const bool committed = commitLevel(*m_db);
        m_db = nullptr;
        return committed;
    }

    // Rolls the level back now; nothing without one. It runs on the way out
    // of failures, so a rollback that fails is logged, never thrown.
    void rollback() noexcept
    {
        Db* db = std::exchange(m_db, nullptr);
        if (!db || !db->isOpen())
            return;
        try {
            rollbackLevel(*db);
        } catch (const std::exception& e) {
            qWarning("rollback failed: %s", e.what());
        } catch (...) {
            qWarning("rollback failed");
        }
    }

private:
    static bool commitLevel(Db& db)
    {
        if constexpr (requires {
                          {
                              db.endTran(true)
                              } -> std::same_as<bool>;
                      }) {
            return db.endTran(true); // AbsDb
        } else if constexpr (requires { db.endTran(true); }) {
            // AbsLocalDb says only by throwing that its outermost level
            // saved nothing; an inner level of a rolled-back unit ends quietly.
            db.endTran(true);
            return !db.connection().isRollbackOnly();
        } else {
            return db.commitTran();
        }
    }

    static void rollbackLevel(Db& db)
    {
        if constexpr (requires { db.endTran(false); })
            db.endTran(false);
        else
            db.rollbackTran();
    }

    Db* m_db = nullptr;
};
