#pragma once
// A report file (PDF, CSV) written beside its target and renamed into place only when every
// byte reached the disk: a failed write (a full disk, a folder without write rights) is an error
// and leaves the old file as it was. Before anything is written the target is refused when it
// exists and is not a regular file (a device, a pipe, a folder), when it is one of the files the
// output is made from (the book, its journals, its backups, the template), and when it is a
// database file or a database's journal: an output never replaces data.
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

namespace qv::rpt {

// The files of the embedded book at `bookPath` that an output must never replace: the book, its
// -wal, -shm and -journal, and the files of its backups folder.
QStringList bookFiles(const QString& bookPath);

// Throws ReportError when `path` may not be written (see above). `inputs` are the files the
// output is made from; they are compared by device and inode, so a link or a second name of one
// is refused as the file itself.
void checkOutputPath(const QString& path, const QStringList& inputs = {});

class OutputFile {
public:
    explicit OutputFile(const QString& path, const QStringList& inputs = {}); // throws ReportError
    ~OutputFile();                                                            // an uncommitted file is removed
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
