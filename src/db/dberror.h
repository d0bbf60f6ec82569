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

private:
    QString m_description;
    QString m_sqlState;
};

} // namespace qv
