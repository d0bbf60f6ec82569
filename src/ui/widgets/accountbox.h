#pragma once
// An account box: a read-only text box that shows an account's title and holds its RowID. The
// RowID is kept as a number; the box's "tag" property carries the same RowID as decimal text
// (empty: no account), and a tag written from outside is taken as the new RowID, so code and
// tests that read or write the tag stay in step with the number.
#include <QLineEdit>

namespace qv {

class AccountBox : public QLineEdit {
    Q_OBJECT
public:
    explicit AccountBox(QWidget* parent = nullptr);

    // The title as text and the RowID; a RowID of 0 or less leaves the box without an account
    // (empty tag) whatever the title.
    void setAccount(qint64 rowId, const QString& title);
    void clearAccount() { setAccount(0, {}); }
    // 0 when no account is chosen (or the tag holds text that is no RowID).
    qint64 accountId() const { return m_id; }
    bool hasAccount() const { return m_id > 0; }

protected:
    bool event(QEvent* e) override;

private:
    void setTag(const QString& tag);
    qint64 m_id = 0;
    bool m_writingTag = false;
};

} // namespace qv
