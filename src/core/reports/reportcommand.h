#pragma once
// quoravel-admin report TEMPLATE --server S --user U --password P [--catalog C]
//     [--selection FORMULA] [--formula NAME=TEXT]... [--subreport NAME=FORMULA]...
//     [--exec STATEMENT]... [--pdf OUT.pdf] [--csv OUT.csv]
// The same print sequence as the program, headless. Needs a QGuiApplication (text is painted).
#include <QStringList>
#include <QTextStream>
#include <functional>

namespace qv::rpt {

// The option values by name (without dashes), in the order given.
using OptionValues = std::function<QStringList(const QString& name)>;

// Returns the exit code: 0 done, 1 the report failed, 2 the command line is wrong.
int reportCommand(const QStringList& positional, const OptionValues& values, QTextStream& out, QTextStream& err);
int reportCommand(const QStringList& positional, const OptionValues& values);

} // namespace qv::rpt
