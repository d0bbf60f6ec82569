#pragma once
// Arguments of quoravel-admin: a command, then --name value pairs, --name=value, flags and
// positional words; options that may repeat (--formula) keep every value.
#include <QMultiHash>
#include <QStringList>
#include <functional>

namespace qv {

struct AdminArgs {
    struct Error {
        QString text;
    };
    QString command;
    QStringList positional;
    QMultiHash<QString, QString> options; // name without the dashes
    QStringList flags;

    static AdminArgs parse(const QStringList& argv);
    QString value(const QString& name, const QString& fallback = {}) const;
    QStringList values(const QString& name) const; // in the order given
    bool flag(const QString& name) const { return flags.contains(name); }
    void require(const QStringList& names) const;
};

// Further commands (e.g. "report") are looked up here.
using AdminCommand = std::function<int(const AdminArgs&)>;
AdminCommand adminCommand(const QString& name);

} // namespace qv
