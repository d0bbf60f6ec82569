#include "tools/adminargs.h"

#include "tools/admincommands.h"

#include <algorithm>

namespace qv {

namespace {
// Options that take no value.
const QStringList FlagNames{QStringLiteral("demo"), QStringLiteral("force"), QStringLiteral("help")};
} // namespace

AdminArgs AdminArgs::parse(const QStringList& argv)
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
            } else if (FlagNames.contains(name)) {
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

AdminCommand adminCommand(const QString& name)
{
    for (const auto& [n, f] : adminCommands())
        if (name == QLatin1String(n))
            return f;
    return {};
}

} // namespace qv
