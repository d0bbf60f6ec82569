#pragma once
#include <QString>
#include <stdexcept>

namespace qv {

// A failed database call. `description` is the readable text a user is shown;
// `sqlState` is the SQLSTATE (PostgreSQL) or SQLite's code where known.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& description, const QString& sqlState = {})
        : std::runtime_error(description.toStdString())
        , m_description(description)
        , m_sqlState(sqlState)
    {
    }
    const QString& description() const { return m_description; }
    const QString& sqlState() const { return m_sqlState; }
    bool isUniqueViolation() const;
    // The link to the server broke (the server or the network went away): the work in hand was
    // not saved, and the connection is opened again at the next statement.
    bool isLinkLost() const { return m_sqlState == LinkLost; }
    // The link broke while COMMIT was on its way: whether the work landed is not known until the
    // server is asked again.
    bool isCommitUnknown() const { return m_sqlState == CommitUnknown; }
    // A wait ran out: a lock another login held (PostgreSQL 55P03, the embedded book's busy 5),
    // or a statement over its time limit (57014).
    bool isWaitOver() const;

    static inline const QString LinkLost = QStringLiteral("QV_LINK_LOST");
    static inline const QString CommitUnknown = QStringLiteral("QV_COMMIT_UNKNOWN");

private:
    QString m_description;
    QString m_sqlState;
};

} // namespace qv
