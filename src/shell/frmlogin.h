#pragma once
#include <QWidget>
#include <functional>

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool offerNewDatabase(const QString& path);

    QComboBox* cboUsers;
    QLineEdit* txtPassword;
    QLineEdit* txtServer;
    QPushButton* cmdLogIn;
    QPushButton* cmdCancel;
    bool m_loggedIn = false;
};
