#pragma once
// Placing the accounts a file names in the chart: codes kept or allocated by the chart's own
// rules, titles checked against the book, journal names mapped onto the three levels.
#include "transfer/bookimport.h"

#include <QHash>
#include <QSet>
#include <map>

namespace qv::imp::detail {

struct BookAccount {
    qint64 rowId = 0;
    QString title, status;
    Money openBal;
    bool bank = false;
};

// Codes in the chart's text order (heads before the accounts under them).
struct CodeOrder {
    bool operator()(const QString& a, const QString& b) const;
};

class AccountPlanner {
public:
    explicit AccountPlanner(Connection& c);

    // Why a code cannot be an account code of the three levels, or empty.
    static QString codeProblem(const QString& code);
    // The account `code` titled `title`: kept when the book has it with that title, refused
    // when with another; added otherwise. Missing heads are added, titled after their code.
    void ensure(const QString& code, const QString& title, int line);
    // The opening of a subsidiary account (added up when given twice).
    void opening(const QString& code, Money amount, const QDate& date, bool bank, int line);
    // The code of a subsidiary account for a journal name, placing it on first use.
    QString placeName(const QString& name, int line);
    // A declared journal account: the export's heads keep their codes and titles.
    void declare(const QString& name, int line);
    // Reads NAME = TARGET lines that place journal names; throws ImportError.
    void readMapping(const QString& file);
    // A control account's class from the file.
    void classify(const QString& code, QChar cls, int line);

    bool isSubsidiary(const QString& code) const;
    // The account in the journal form "1 Assets:1.2 Banks:1.2.3 Current".
    QString journalForm(const QString& code) const;
    QString titleOf(const QString& code) const;
    // Checks the openings given against the book's: throws ImportError on a difference.
    ImportPlan finish();

private:
    struct Target {
        QString code; // a code, or empty: place the segments
        QStringList segments;
    };
    QString place(const QStringList& segments, int line);
    QString child(const QString& parent, const QString& title, const QString& status, int line);
    const PlannedAccount* planned(const QString& code) const;
    void touch(const QString& code); // a book account the file names: listed, left alone

    Connection& m_c;
    QHash<QString, BookAccount> m_book;
    std::map<QString, PlannedAccount, CodeOrder> m_plan;
    QHash<QString, QString> m_byName; // journal name -> code
    QHash<QString, Target> m_mapping;
    QMap<QString, QChar> m_classes, m_bookClasses;
    QHash<QString, int> m_openingLine;
    QSet<QString> m_autoTitled;             // heads titled after their code until the file names them
    QList<QPair<QString, QString>> m_names; // in order of first use
};

} // namespace qv::imp::detail
