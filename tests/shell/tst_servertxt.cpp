#include "session/servertxt.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstServerTxt : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString readWith(const QByteArray& content)
    {
        QFile f(dir.filePath("Server.txt"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        f.close();
        return qv::readServerFile(dir.path());
    }

private slots:
    void items_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("server");
        QTest::newRow("plain") << QByteArray("ACCOUNTS-PC\r\n") << "ACCOUNTS-PC";
        QTest::newRow("after a comma") << QByteArray("dbhost:5433,second item,third\n") << "dbhost:5433";
        QTest::newRow("quoted") << QByteArray("\"db host, main\",x\n") << "db host, main";
        QTest::newRow("leading blanks") << QByteArray("    127.0.0.1\n") << "127.0.0.1";
        QTest::newRow("only the first line") << QByteArray("first\nsecond\n") << "first";
        QTest::newRow("a path") << QByteArray("/srv/books/Fendral.sqlite") << "/srv/books/Fendral.sqlite";
        QTest::newRow("empty") << QByteArray("") << ".";
        QTest::newRow("blank line") << QByteArray("   \n") << ".";
        QTest::newRow("odd bytes") << QByteArray("\x01\xff\xfe\x02", 4) << ".";
    }
    void items()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, server);
        QCOMPARE(readWith(content), server);
    }
    void missingFileGivesDot()
    {
        QTemporaryDir empty;
        QCOMPARE(qv::readServerFile(empty.path()), QString("."));
    }
    void veryLongLineIsCut()
    {
        const QString s = readWith(QByteArray(1 << 20, 'a'));
        QVERIFY(s.size() <= 4096);
        QVERIFY(s.startsWith("aaaa"));
    }
};

QTEST_GUILESS_MAIN(TstServerTxt)
#include "tst_servertxt.moc"
