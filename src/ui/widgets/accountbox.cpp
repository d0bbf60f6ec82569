#include "widgets/accountbox.h"

#include <QDynamicPropertyChangeEvent>

namespace qv {

namespace {
const char* const Tag = "tag";
}

AccountBox::AccountBox(QWidget* parent)
    : QLineEdit(parent)
{
    setTag(QString());
}

void AccountBox::setAccount(qint64 rowId, const QString& title)
{
    setText(title);
    setTag(rowId > 0 ? QString::number(rowId) : QString());
}

void AccountBox::setTag(const QString& tag)
{
    m_writingTag = true;
    setProperty(Tag, tag);
    m_writingTag = false;
    m_id = tag.toLongLong();
}

bool AccountBox::event(QEvent* e)
{
    if (e->type() == QEvent::DynamicPropertyChange && !m_writingTag
        && static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == Tag)
        m_id = property(Tag).toString().toLongLong();
    return QLineEdit::event(e);
}

} // namespace qv
