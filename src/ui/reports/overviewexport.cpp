// The Overview's exports: a chart as PNG or on a printer, and the whole Overview on one page of
// PDF (the balances as text, the four charts drawn as vectors).
#include "reports/frmoverview.h"
#include "reports/overviewcharts.h"
#include "widgets/msgbox.h"

#include <QChart>
#include <QChartView>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

bool frmOverview::saveChartPng(QChartView* view, const QString& path)
{
    // Twice the screen's pixels, so that the picture stays sharp in a document.
    const QSize size = view->size() * 2;
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        view->render(&p, QRectF(QPointF(0, 0), size), view->viewport()->rect());
    }
    if (image.save(path, "PNG"))
        return true;
    qv::Msg::critical(QStringLiteral("The chart could not be saved to %1.").arg(path));
    return false;
}

bool frmOverview::printChart(QChartView* view, QPrinter& printer)
{
    QPainter p;
    if (!p.begin(&printer)) {
        qv::Msg::critical(QStringLiteral("The printer could not be started."));
        return false;
    }
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF target(0, 0, page.width(), page.height());
    // The chart keeps its shape on the page.
    const QSizeF shape = QSizeF(view->viewport()->size()).scaled(target.size(), Qt::KeepAspectRatio);
    view->render(&p, QRectF(target.topLeft(), shape), view->viewport()->rect());
    return p.end();
}

void frmOverview::paintPage(QPainter& p, const QRectF& page)
{
    const qreal unit = page.width() / 277.0; // millimetres of A4 landscape's printable width
    const auto mm = [unit](qreal v) { return v * unit; };
    p.setFont(qv::overview::chartFont(14, true));
    p.drawText(QRectF(page.left(), page.top(), page.width(), mm(8)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Overview: %1").arg(m_figures.period.caption));
    p.setFont(qv::overview::chartFont(9));
    p.drawText(QRectF(page.left(), page.top(), page.width(), mm(8)), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 to %2, printed on %3")
                   .arg(m_figures.period.from.toString(QStringLiteral("dd-MM-yyyy")),
                        m_figures.period.to.toString(QStringLiteral("dd-MM-yyyy")),
                        QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy"))));

    // The balances down the left, the charts in two rows beside them and below.
    const QRectF body(page.left(), page.top() + mm(11), page.width(), page.height() - mm(11));
    const qreal left = mm(62);
    QRectF figures(body.left(), body.top(), left - mm(3), body.height() / 2);
    p.setFont(qv::overview::chartFont(9, true));
    const qreal line = mm(4.6);
    qreal y = figures.top();
    p.drawText(QRectF(figures.left(), y, figures.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Balances at the end of %1").arg(m_figures.today.toString(QStringLiteral("dd-MM-yyyy"))));
    y += line * 1.3;
    const int rows = int(m_figures.accounts.size());
    const int room = int((figures.bottom() - y) / line) - 1;
    for (int i = 0; i <= rows; ++i) {
        const bool total = i == rows;
        if (!total && i >= room - 1 && rows > room) { // too many banks for the space: say how many
            p.setFont(qv::overview::chartFont(8));
            p.drawText(QRectF(figures.left(), y, figures.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("... and %1 more").arg(rows - i));
            y += line;
            i = rows - 1;
            continue;
        }
        p.setFont(qv::overview::chartFont(8, total));
        const QString name = total ? QStringLiteral("Total") : m_figures.accounts[i].name;
        const qv::Money m = total ? m_figures.todayTotal : m_figures.todayBalances[i];
        if (total)
            p.drawLine(QPointF(figures.left(), y), QPointF(figures.right(), y));
        p.drawText(QRectF(figures.left(), y, figures.width() * 0.6, line), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(name, Qt::ElideRight, int(figures.width() * 0.58)));
        p.drawText(QRectF(figures.left(), y, figures.width(), line), Qt::AlignRight | Qt::AlignVCenter,
                   qv::displayAmount(m));
        y += line;
    }
    const qreal half = body.height() / 2, w = (body.width() - left) / 2;
    const QRectF places[] = {{body.left() + left, body.top(), w, half},
                             {body.left() + left + w, body.top(), w, half},
                             {body.left(), body.top() + half, left + w, half},
                             {body.left() + left + w, body.top() + half, w, half}};
    for (int i = 0; i < m_views.size(); ++i) {
        QChartView* v = m_views[i];
        QRectF target = places[i].adjusted(mm(1), mm(1), -mm(1), -mm(1));
        const QSizeF shape = QSizeF(v->viewport()->size()).scaled(target.size(), Qt::KeepAspectRatio);
        target = QRectF(target.center() - QPointF(shape.width() / 2, shape.height() / 2), shape);
        v->render(&p, target, v->viewport()->rect());
    }
}

bool frmOverview::exportPdf(const QString& path)
{
    QPdfWriter pdf(path);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                  QPageLayout::Millimeter));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Overview"));
    pdf.setCreator(QStringLiteral("Quoravel"));
    QPainter p;
    if (!p.begin(&pdf)) {
        qv::Msg::critical(QStringLiteral("The PDF file %1 could not be written.").arg(path));
        return false;
    }
    p.setRenderHint(QPainter::Antialiasing);
    paintPage(p, QRectF(QPointF(0, 0), pdf.pageLayout().paintRectPixels(pdf.resolution()).size()));
    return p.end();
}
