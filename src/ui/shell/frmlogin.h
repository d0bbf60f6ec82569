#pragma once
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;

// The login window: the only top-level window besides the frame.
class frmLogin : public QWidget {
    Q_OBJECT
public:
    explicit frmLogin(QWidget* parent = nullptr);

    void SetResulation();
    void setDefautResulation();
    void cmdLogIn_Click();
    void cmdCancel_Click();

    // What "E&xit" does after restoring the display (ends the program; tests replace it).
    static std::function<void()> endProgram;
    // The settings key of the last user who logged in on this station.
    static QString lastUserKey() { return QStringLiteral("login/lastUser"); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // An embedded book of an older schema, upgraded after a checked backup; false for a server.
    bool upgradeEmbeddedBook();
    enum class FirstRun { Created, Declined, Stopped };
    FirstRun offerNewDatabase(const QString& path);
    std::optional<QString> askLockPassword();

    QComboBox* cboUsers;
    QLineEdit* txtPassword;
    QLineEdit* txtServer;
    QPushButton* cmdLogIn;
    QPushButton* cmdCancel;
    bool m_loggedIn = false;
};
