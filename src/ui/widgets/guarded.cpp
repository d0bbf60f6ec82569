#include "widgets/guarded.h"

#include "widgets/msgbox.h"

#include <QWidget>

namespace qv {

void showDbError(const DbError& e, QWidget* focusAfter, const QString& message)
{
    Msg::critical(message.isEmpty() ? e.description() : message.arg(e.description()));
    if (focusAfter && focusAfter->isEnabled())
        focusAfter->setFocus();
}

} // namespace qv
