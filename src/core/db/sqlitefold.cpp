#include "db/sqlitefold.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

namespace qv {

namespace {
void unicodeLower(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    QByteArray out(text, n);
    // Most titles are plain ASCII: lowered in place, as the built-in function does.
    bool ascii = true;
    for (char& ch : out) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch + ('a' - 'A'));
    }
    if (!ascii)
        out = QString::fromUtf8(text, n).toLower().toUtf8();
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}
} // namespace

bool registerUnicodeLower(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* s = *static_cast<sqlite3* const*>(handle.constData());
    // Deterministic and innocuous: usable in WHERE clauses and expressions like the built-in one.
    return s
           && sqlite3_create_function_v2(s, "lower", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                         unicodeLower, nullptr, nullptr, nullptr)
                  == SQLITE_OK;
}

} // namespace qv
