#pragma once
// What this station changed in the book, told to the windows that show figures from it: a
// voucher window says here when it saved or deleted a voucher.
#include <QObject>

namespace qv {

class BookEvents : public QObject {
    Q_OBJECT
public:
    static BookEvents* instance();

signals:
    void vouchersChanged();
};

} // namespace qv
