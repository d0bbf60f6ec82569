#include "support/fixture.h"

#include "shell/handover.h"
#include "shell/mdl_connection.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace qvt {

void AppFixture::start(bool demo)
{
    ResetSharedState();
    ResetHandOver();
    m_db = TestDb::create(demo);
    Conn.close();
    m_db.connect(Conn);
    LoginUser = m_db.user;
    LoginPassword = m_db.password;
    LoginCatalog = m_db.catalog;
    m_main = new MDIForm1();
    m_main->resize(1024, 768);
    m_main->show();
}

void AppFixture::stop()
{
    if (m_main) {
        for (QMdiSubWindow* sw : m_main->mdiArea()->subWindowList())
            sw->setAttribute(Qt::WA_DeleteOnClose);
        // Work a test left unsaved is dropped without a box nobody would answer.
        qv::Msg::Hook kept = qv::Msg::setHook([](const qv::Msg::Message& m) {
            return (m.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
        m_main->mdiArea()->closeAllSubWindows();
        qv::Msg::setHook(std::move(kept));
        delete m_main;
        m_main = nullptr;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ResetSharedState();
    ResetHandOver();
    Conn.close();
    m_db.drop();
}

MsgRecorder::MsgRecorder()
{
    m_old = qv::Msg::setHook([this](const qv::Msg::Message& m) {
        seen << m;
        if (!answers.isEmpty())
            return answers.takeFirst();
        return (m.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    m_oldText = qv::Msg::setTextHook([this](const QString& prompt, const QString&, bool) -> std::optional<QString> {
        prompts << prompt;
        if (textAnswers.isEmpty())
            return std::nullopt; // cancelled
        return textAnswers.takeFirst();
    });
}

MsgRecorder::~MsgRecorder()
{
    qv::Msg::setHook(std::move(m_old));
    qv::Msg::setTextHook(std::move(m_oldText));
}

QStringList MsgRecorder::texts() const
{
    QStringList out;
    for (const auto& m : seen)
        out << m.text;
    return out;
}

EnterOnBoxes::EnterOnBoxes()
{
    m_poll.setInterval(5);
    QObject::connect(&m_poll, &QTimer::timeout, this, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == m_last)
            return;
        m_last = box;
        texts << box->text();
        auto* def = box->defaultButton();
        pressed << (def ? def->text().remove('&') : QString("<none>"));
        QTest::keyClick(box, Qt::Key_Return);
    });
    m_poll.start();
}

QString cellText(const QAbstractItemView* grid, int row, int column)
{
    return grid->model()->index(row, column).data().toString();
}

QStringList columnTexts(const QAbstractItemView* grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        if (!cellText(grid, r, 0).isEmpty())
            out << cellText(grid, r, column);
    return out;
}

} // namespace qvt
