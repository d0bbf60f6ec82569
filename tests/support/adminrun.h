#pragma once
// quoravel-admin run as a user runs it, for the suites that drive the command-line tool.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qvt {

struct AdminRun {
    int code = -1; // -1: it crashed or did not finish in time
    QString out;
    QString err;
};

struct AdminOptions {
    QByteArray input;   // what it reads from standard input (not a terminal: passwords, one a line)
    QString workDir;    // empty: the test's own
    QString stdoutFile; // standard output goes to this file instead of `out`
    int timeoutMs = 120000;
};

AdminRun runAdmin(const QStringList& args, const AdminOptions& options = {});

} // namespace qvt
