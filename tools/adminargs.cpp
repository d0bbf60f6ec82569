#include "tools/adminargs.h"

#include "db/logins.h"
#include "db/provision.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <termios.h>
#include <unistd.h>

namespace qv {

namespace {

const QStringList Common{QStringLiteral("catalog")};
const QStringList CommonFlags{QStringLiteral("help")};

// One line of standard input without its line end; nothing at the end of input. With `hide`
// on a terminal the typed text is not echoed.
std::optional<QByteArray> readLine(bool hide)
{
    termios saved{};
    const bool tty = hide && ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char* buf = nullptr;
    size_t cap = 0;
    const ssize_t n = ::getline(&buf, &cap, stdin);
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    std::optional<QByteArray> line;
    if (n >= 0) {
        line = QByteArray(buf, n);
        while (line->endsWith('\n') || line->endsWith('\r'))
            line->chop(1);
    }
    std::free(buf);
    return line;
}

} // namespace

AdminArgs AdminArgs::parse(const QStringList& argv, const QStringList& flagNames)
{
    AdminArgs a;
    for (int i = 1; i < argv.size(); ++i) {
        const QString& s = argv[i];
        if (s.startsWith(QLatin1String("--")) && s.size() > 2) {
            QString name = s.mid(2);
            if (i == 1 && name == QLatin1String("help")) {
                a.command = QStringLiteral("--help");
                continue;
            }
            const int eq = name.indexOf(QLatin1Char('='));
            if (eq > 0) {
                a.options.insert(name.left(eq), name.mid(eq + 1));
            } else if (flagNames.contains(name) || CommonFlags.contains(name)) {
                a.flags << name;
            } else {
                if (i + 1 >= argv.size())
                    throw Error{QStringLiteral("the option --%1 needs a value.").arg(name)};
                a.options.insert(name, argv[++i]);
            }
        } else if (a.command.isEmpty()) {
            a.command = s;
        } else {
            a.positional << s;
        }
    }
    return a;
}

void checkAgainst(const AdminArgs& a, const AdminCommandDef& def)
{
    const QString cmd = QString::fromLatin1(def.name);
    for (const QString& name : a.options.keys()) {
        if (def.flags.contains(name) || CommonFlags.contains(name))
            throw AdminArgs::Error{QStringLiteral("--%1 takes no value.").arg(name)};
        if (!def.options.contains(name) && !Common.contains(name))
            throw AdminArgs::Error{QStringLiteral("%1 has no option --%2.").arg(cmd, name)};
    }
    for (const QString& name : a.flags) {
        if (!def.flags.contains(name) && !CommonFlags.contains(name))
            throw AdminArgs::Error{QStringLiteral("%1 has no option --%2.").arg(cmd, name)};
    }
    if (def.positionals >= 0 && a.positional.size() > def.positionals)
        throw AdminArgs::Error{
            QStringLiteral("%1 does not take \"%2\".").arg(cmd, a.positional.value(def.positionals))};
    if (a.has(QStringLiteral("server")) && a.value(QStringLiteral("server")).trimmed().isEmpty())
        throw AdminArgs::Error{QStringLiteral("--server is empty: give \".\" for the book in your data folder, a file "
                                              "path, or a server as host[:port].")};
    if (a.has(QStringLiteral("catalog")))
        if (const QString err = Provision::checkCatalog(a.value(QStringLiteral("catalog"))); !err.isEmpty())
            throw AdminArgs::Error{QStringLiteral("--catalog: ") + err};
}

QStringList decodeArguments(int argc, char** argv)
{
    QStringList out;
    for (int i = 0; i < argc; ++i) {
        const std::optional<QString> s = Logins::decodeUtf8(QByteArray(argv[i]));
        if (!s)
            throw AdminArgs::Error{QStringLiteral("argument %1 is not valid UTF-8 text.").arg(i)};
        out << *s;
    }
    return out;
}

QString AdminArgs::adminPassword(const QString& adminUser) const
{
    const QString name = QStringLiteral("admin-password");
    if (!has(name) && qEnvironmentVariableIsSet("PGPASSWORD"))
        return qEnvironmentVariable("PGPASSWORD");
    return secret(name, QStringLiteral("Password of the administrator %1 (empty: none)").arg(adminUser));
}

QString AdminArgs::secret(const QString& name, const QString& prompt, bool confirm) const
{
    if (has(name))
        return value(name);
    if (const auto it = m_read.constFind(name); it != m_read.constEnd())
        return *it;
    const bool tty = ::isatty(STDIN_FILENO);
    auto ask = [&](const QString& text) {
        if (tty)
            std::fputs(qPrintable(text), stderr);
        const std::optional<QByteArray> line = readLine(true);
        if (!line)
            throw Error{QStringLiteral("the option --%1 is missing, and standard input ended before it.").arg(name)};
        const std::optional<QString> s = Logins::decodeUtf8(*line);
        if (!s)
            throw Error{QStringLiteral("the text read for --%1 is not valid UTF-8.").arg(name)};
        return *s;
    };
    const QString first = ask(prompt + QStringLiteral(": "));
    if (tty && confirm && ask(QStringLiteral("Again: ")) != first)
        throw Error{QStringLiteral("the two entries for --%1 differ.").arg(name)};
    m_read.insert(name, first);
    return first;
}

QString AdminArgs::value(const QString& name, const QString& fallback) const
{
    const QStringList v = values(name);
    return v.isEmpty() ? fallback : v.last();
}

QStringList AdminArgs::values(const QString& name) const
{
    QStringList v = options.values(name);
    std::reverse(v.begin(), v.end()); // QMultiHash gives the latest first
    return v;
}

void AdminArgs::require(const QStringList& names) const
{
    for (const QString& n : names)
        if (!options.contains(n))
            throw Error{QStringLiteral("the option --%1 is missing.").arg(n)};
}

} // namespace qv
