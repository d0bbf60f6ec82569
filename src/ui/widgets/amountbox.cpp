#include "widgets/amountbox.h"

#include "widgets/status.h"

#include <QLineEdit>

#include <memory>

namespace qv {

AmountValidator::AmountValidator(int maxLength, bool minus, QObject* parent)
    : QValidator(parent)
    , m_maxLength(maxLength)
    , m_minus(minus)
{
}

QValidator::State AmountValidator::validate(QString& input, int& pos) const
{
    // A blank changes nothing, typed or pasted.
    QString kept;
    int before = 0, dots = 0, minus = 0;
    for (int i = 0; i < input.size(); ++i) {
        const QChar ch = input.at(i);
        if (ch.isSpace())
            continue;
        const bool taken = (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char(',')
                           || ch == QLatin1Char('.') || (m_minus && ch == QLatin1Char('-'));
        if (!taken) {
            m_refusal = m_minus ? tr("An amount takes only digits, one point, commas between thousands and one "
                                     "minus sign: \"%1\" was not taken")
                                      .arg(input)
                                : tr("An amount takes only digits, one point and commas between thousands: "
                                     "\"%1\" was not taken")
                                      .arg(input);
            return Invalid;
        }
        dots += ch == QLatin1Char('.');
        minus += ch == QLatin1Char('-');
        kept += ch;
        if (i < pos)
            ++before;
    }
    if (dots > 1) {
        m_refusal = tr("An amount has one decimal point only: \"%1\" was not taken").arg(input);
        return Invalid;
    }
    if (minus > 1) {
        m_refusal = tr("An amount has one minus sign at most: \"%1\" was not taken").arg(input);
        return Invalid;
    }
    if (kept.size() > m_maxLength) {
        m_refusal = tr("An amount has at most %1 characters: \"%2\" (%3) was not taken, not even in part")
                        .arg(m_maxLength)
                        .arg(input)
                        .arg(kept.size());
        return Invalid;
    }
    m_refusal.clear();
    input = kept;
    pos = before;
    return Acceptable;
}

void amountBox(QLineEdit* box, int maxLength, bool minus)
{
    // The box's own limit would cut a longer paste silently: the validator refuses it whole.
    box->setMaxLength(32767);
    auto* v = new AmountValidator(maxLength, minus, box);
    box->setValidator(v);
    // The refusal is signalled before the box goes back to its text: that text is the last one
    // the box took.
    auto kept = std::make_shared<QString>(box->text());
    QObject::connect(box, &QLineEdit::textChanged, v, [kept](const QString& t) { *kept = t; });
    QObject::connect(box, &QLineEdit::inputRejected, v, [v, kept] {
        if (v->refusal().isEmpty())
            return;
        Status::say(kept->isEmpty() ? QObject::tr("%1; the box stays empty.").arg(v->refusal())
                                    : QObject::tr("%1; the box keeps %2.").arg(v->refusal(), *kept));
    });
}

} // namespace qv
