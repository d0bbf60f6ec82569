#pragma once
// What the readers of the three formats find in a file, handed on in file order; the planner
// (bookimport.cpp) places the accounts and checks the vouchers against the book.
#include "transfer/bookimport.h"

#include <QFile>
#include <QStringDecoder>

namespace qv::imp::detail {

// The lines of a text file, checked to be UTF-8 (a byte-order mark at the start is passed
// over). Throws ImportError for a file that cannot be read, is empty, or is not UTF-8.
class TextLines {
public:
    explicit TextLines(const QString& path);
    // The next line without its line break; false at the end.
    bool next(QString* line);
    int number() const { return m_number; } // of the line last returned, from 1

private:
    QFile m_file;
    int m_number = 0;
};

// One voucher line by account keys (a code, or a journal account name).
struct RawLine {
    QString dr, cr;
    Money amount;
    QString cheque, narration, fileNo, billNo;
};

struct RawVoucher {
    VoucherKind kind = VoucherKind::JV;
    qint64 number = 0; // 0: the next free number
    QDate date;
    QString party;
    std::vector<RawLine> lines;
    int line = 0; // where it starts in the file
};

// An account the file names outside a voucher: a row of the chart, a declared journal account
// or an opening balance.
struct FileAccount {
    QString key; // the code (accounts-csv) or the journal name
    QString title;
    bool bank = false;
    std::optional<Money> opening;
    QDate openDate;
    QChar cls; // a journal's "type:" of a control account
    int line = 0;
};

struct Events {
    std::function<void(const FileAccount&)> account;
    std::function<void(RawVoucher&&)> voucher;
};

void readAccountsCsv(const QString& file, const Events& e);
void readVouchersCsv(const QString& file, const Events& e);
void readLedger(const QString& file, const Events& e);

// An amount of the files: digits with commas between thousands, at most two decimals, an
// optional sign. Why it is not one, or empty.
QString amountText(const QString& text, Money* out);
// A date written yyyy-mm-dd (a journal also takes / and . and one-digit months and days).
QDate fileDate(const QString& text, bool journal);

} // namespace qv::imp::detail
