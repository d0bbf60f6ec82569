#pragma once
// On a server, SQL typed past the program still leaves its rows in the audit trail. A writer
// that records its own changes (the program's stores) first declares so (qv_audit_intent), in
// its transaction, and later appends its record through qv_audit. At the end of every statement
// on the recorded tables, a keeper-owned trigger looks for that declaration: a transaction that
// made none gets a record of each row the statement wrote ("sql insert", "sql update", "sql
// delete", the row before and after as the program images rows). A declared transaction that
// wrote rows and then committed without any record gets one record "changes unrecorded".
// The declarations live in the keeper's table AuditTx, which logins can neither read nor write.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace qv::SqlAudit {

inline constexpr const char* MarkTable = "AuditTx";
inline constexpr const char* IntentSignature = "qv_audit_intent()";
// The tables whose rows are recorded.
QStringList recordedTables();

struct Function {
    QString signature;
    QString returns;
    QString body;
    bool forUsers; // executed by logins (the others run as triggers only)
};
// The keeper's functions (bodies in plpgsql): the declaration, the commit-time look at a
// declared transaction, and the statement triggers' function of each kind of statement.
QList<Function> functions();
// Made again by every renewal of the book's functions.
QStringList triggers();
QList<QPair<QString, QString>> triggerNames();
// The book's making: declared and recorded, without a record.
QString markStatement();
QStringList markGrants(const QString& users, const QString& keeper);

} // namespace qv::SqlAudit
