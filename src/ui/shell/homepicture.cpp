#include "shell/homepicture.h"

#include <QLinearGradient>
#include <QPainter>

namespace qv {

QPixmap homePicture(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = size.width(), h = size.height();
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0xd6, 0xe6, 0xf2));
    sky.setColorAt(1, QColor(0xf3, 0xf1, 0xea));
    p.setBrush(sky);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, w, h), 12, 12);
    // Buildings on their plots.
    const int base = h - 40;
    const int heights[] = {70, 110, 90, 140, 60, 100, 80};
    const int bw = (w - 40) / 7;
    for (int i = 0; i < 7; ++i) {
        const QRect r(20 + i * bw + 4, base - heights[i], bw - 8, heights[i]);
        p.setBrush(QColor(0x1f, 0x4e, 0x79).lighter(100 + i * 12));
        p.drawRect(r);
        p.setBrush(QColor(0xff, 0xe0, 0x8a));
        for (int y = r.top() + 8; y < r.bottom() - 10; y += 16)
            for (int x = r.left() + 6; x < r.right() - 8; x += 12)
                p.drawRect(x, y, 5, 8);
    }
    // The ground divided into plots.
    p.setBrush(QColor(0x6a, 0x9a, 0x4b));
    p.drawRect(10, base, w - 20, 28);
    p.setPen(QPen(QColor(0xf3, 0xf1, 0xea), 2));
    for (int x = 10 + bw; x < w - 20; x += bw)
        p.drawLine(x, base + 2, x, base + 26);
    return pm;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int n : {16, 24, 32, 48, 64, 128}) {
        QPixmap pm(n, n);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(n / 64.0, n / 64.0);
        // A blue ledger, its ruled page and a green tick of a balanced book.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x4e, 0x79));
        p.drawRoundedRect(QRectF(6, 4, 52, 56), 8, 8);
        p.setBrush(QColor(0xf3, 0xf1, 0xea));
        p.drawRoundedRect(QRectF(14, 10, 38, 44), 3, 3);
        p.setPen(QPen(QColor(0x9a, 0xa3, 0xab), 2.5));
        for (int y = 20; y <= 44; y += 8)
            p.drawLine(QPointF(19, y), QPointF(47, y));
        p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(22, 36), QPointF(31, 45), QPointF(50, 22)}));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace qv
