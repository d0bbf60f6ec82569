#pragma once
// A report file (PDF, CSV) written beside its target and renamed into place only when every
// byte reached the disk: a failed write (a full disk, a folder without write rights) is an error
// and leaves the old file as it was. A target that exists and is not a regular file (a device, a
// pipe, a folder) is refused before anything is written.
#include <QString>
#include <QTemporaryFile>

namespace qv::rpt {

// Throws ReportError when `path` names something that exists and is not a regular file.
void checkOutputPath(const QString& path);

class OutputFile {
public:
    explicit OutputFile(const QString& path); // throws ReportError
    ~OutputFile();                            // an uncommitted file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    QIODevice& device() { return m_temp; }
    void write(const QByteArray& bytes); // throws ReportError
    // Flushes, syncs and renames into place; throws ReportError.
    void commit();

private:
    [[noreturn]] void fail(const QString& why);

    QString m_path;   // what the user named
    QString m_target; // the regular file it stands for (a link's target)
    QTemporaryFile m_temp;
};

} // namespace qv::rpt
