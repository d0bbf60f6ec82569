#pragma once
// Arguments of quoravel-admin: a command, then --name value pairs, --name=value, flags and
// positional words; options that may repeat (--formula) keep every value. Each command declares
// the options and flags it knows; anything else is a command-line error (exit 2).
#include <QHash>
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

    // The words as given (argv[0] is the program); `flagNames` are the options that take no
    // value (--help always). Nothing is checked against a command here.
    static AdminArgs parse(const QStringList& argv, const QStringList& flagNames = {});
    QString value(const QString& name, const QString& fallback = {}) const;
    QStringList values(const QString& name) const; // in the order given
    bool has(const QString& name) const { return options.contains(name); }
    bool flag(const QString& name) const { return flags.contains(name); }
    void require(const QStringList& names) const;

    // A password option: its value when given, otherwise read from the terminal without echo
    // (`prompt` on stderr; `confirm` asks twice) or, when standard input is not a terminal,
    // its next line. Text that is not valid UTF-8 is refused (Error).
    QString secret(const QString& name, const QString& prompt, bool confirm = false) const;
    // A server administrator's password: --admin-password, else PGPASSWORD, else asked for (an
    // empty answer means none: the server's peer or trust rules).
    QString adminPassword(const QString& adminUser) const;

private:
    mutable QHash<QString, QString> m_read;
};

using AdminCommand = std::function<int(const AdminArgs&)>;

// One command of quoravel-admin and what it accepts. Every command also accepts --catalog and
// --help. `positionals`: how many plain words may follow the command (-1: any number).
struct AdminCommandDef {
    const char* name;
    QStringList options;
    QStringList flags;
    int positionals;
    AdminCommand run;
};

// Checks the parsed words against `def` (unknown options or flags, a value given to a flag,
// stray words, an empty --server, a --catalog that is not a plain name); throws Error.
void checkAgainst(const AdminArgs& a, const AdminCommandDef& def);

// The raw arguments as UTF-8 text; an argument that is not valid UTF-8 is refused (Error).
QStringList decodeArguments(int argc, char** argv);

} // namespace qv
