#include "shell/frmimport.h"

#include "shell/mdl_connection.h"
#include "transfer/bookimport.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
qv::imp::ImportOptions optionsOf(const QComboBox* format, const QCheckBox* renumber, const QCheckBox* skip)
{
    qv::imp::ImportOptions o;
    o.format = *qv::imp::formatByName(format->currentData().toString());
    o.renumber = renumber->isChecked();
    o.skipExisting = skip->isChecked();
    return o;
}
} // namespace

frmImport::frmImport(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import"));

    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    cboFormat->addItem(QStringLiteral("Ledger / hledger journal"), QStringLiteral("ledger"));
    cboFormat->addItem(QStringLiteral("Vouchers CSV (as exported)"), QStringLiteral("vouchers-csv"));
    cboFormat->addItem(QStringLiteral("Chart of accounts CSV"), QStringLiteral("accounts-csv"));
    chkRenumber = new QCheckBox(QStringLiteral("&Renumber the vouchers"), this);
    chkRenumber->setObjectName(QStringLiteral("chkRenumber"));
    chkSkipExisting = new QCheckBox(QStringLiteral("&Skip vouchers already in the book"), this);
    chkSkipExisting->setObjectName(QStringLiteral("chkSkipExisting"));
    lstPreview = new QListWidget(this);
    lstPreview->setObjectName(QStringLiteral("lstPreview"));
    lstPreview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lstPreview->setMinimumSize(640, 300);
    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->setValue(0);
    cmdPreview = new QPushButton(QStringLiteral("&Preview"), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreview"));
    cmdImport = new QPushButton(QStringLiteral("&Import"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setEnabled(false);
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto* grid = new QGridLayout;
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    fileLabel->setBuddy(txtFile);
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(txtFile, 0, 1);
    grid->addWidget(cmdBrowse, 0, 2);
    auto* formatLabel = new QLabel(QStringLiteral("F&ormat:"), this);
    formatLabel->setBuddy(cboFormat);
    grid->addWidget(formatLabel, 1, 0);
    grid->addWidget(cboFormat, 1, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(chkRenumber);
    checks->addWidget(chkSkipExisting);
    checks->addStretch(1);
    grid->addLayout(checks, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgImport, 1);
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdExit);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(grid);
    lay->addWidget(new QLabel(QStringLiteral("What the import would bring in:"), this));
    lay->addWidget(lstPreview, 1);
    lay->addLayout(buttons);

    // Any change of what is to be read makes the preview stale: it is made again before "Import".
    auto stale = [this] {
        lstPreview->clear();
        cmdImport->setEnabled(false);
        prgImport->setValue(0);
    };
    connect(txtFile, &QLineEdit::textChanged, this, stale);
    connect(cboFormat, &QComboBox::currentIndexChanged, this, stale);
    connect(chkRenumber, &QCheckBox::toggled, this, stale);
    connect(chkSkipExisting, &QCheckBox::toggled, this, stale);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmImport::cmdBrowse_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmImport::cmdPreview_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmImport::unload);
}

void frmImport::cmdBrowse_Click()
{
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import"), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("Journals and CSV (*.journal *.ledger *.hledger *.csv *.txt);;All files (*)"));
    if (file.isEmpty())
        return;
    txtFile->setText(file);
    if (file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) && cboFormat->currentIndex() == 0)
        cboFormat->setCurrentIndex(1);
    cmdPreview_Click();
}

bool frmImport::cmdPreview_Click()
{
    lstPreview->clear();
    cmdImport->setEnabled(false);
    if (txtFile->text().trimmed().isEmpty()) {
        qv::Msg::info(QStringLiteral("Please choose the file to import."));
        txtFile->setFocus();
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = qv::guarded(
        [this] {
            const qv::imp::ImportPlan plan = qv::imp::planImport(Conn, txtFile->text().trimmed(),
                                                                 optionsOf(cboFormat, chkRenumber, chkSkipExisting));
            lstPreview->addItems(plan.describe());
        },
        txtFile, QStringLiteral("The file cannot be imported: %1"));
    QApplication::restoreOverrideCursor();
    cmdImport->setEnabled(ok);
    return ok;
}

void frmImport::cmdImport_Click()
{
    qv::imp::ImportOptions o = optionsOf(cboFormat, chkRenumber, chkSkipExisting);
    o.progressEvery = 200;
    o.progress = [this](qint64 done, qint64 total) {
        prgImport->setMaximum(int(std::min<qint64>(total, 1 << 30)));
        prgImport->setValue(int(std::min<qint64>(done, 1 << 30)));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    };
    cmdImport->setEnabled(false);
    cmdPreview->setEnabled(false);
    qv::imp::ImportResult r;
    const bool ok = qv::guarded([&] { r = qv::imp::runImport(Conn, txtFile->text().trimmed(), o, LoginUser); }, txtFile,
                                QStringLiteral("Nothing was imported: %1"));
    cmdPreview->setEnabled(true);
    if (!ok) {
        prgImport->setValue(0);
        return;
    }
    prgImport->setMaximum(1);
    prgImport->setValue(1);
    lstPreview->clear();
    const QString done = QStringLiteral("Imported %1 accounts and %2 vouchers").arg(r.accounts).arg(r.vouchers);
    lstPreview->addItem(done);
    qv::Status::say(done);
}
