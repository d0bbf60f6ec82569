#pragma once
// The amount boxes (a voucher line's amount, an opening balance): digits, one point, commas
// between thousands and, where the box allows it, one minus sign. What the box cannot take is
// refused whole, never cut or thinned into another figure, and the status bar says what was
// refused and why. Whether the text is a well-formed amount is judged when it is used
// (parseAmount), so that "1,5" is refused with a message instead of being read as 15.
#include <QValidator>

class QLineEdit;

namespace qv {

class AmountValidator : public QValidator {
    Q_OBJECT
public:
    AmountValidator(int maxLength, bool minus, QObject* parent);
    State validate(QString& input, int& pos) const override;
    // Why the last input was refused (empty when it was taken).
    QString refusal() const { return m_refusal; }

private:
    int m_maxLength;
    bool m_minus;
    mutable QString m_refusal;
};

// Makes `box` an amount box of at most `maxLength` characters.
void amountBox(QLineEdit* box, int maxLength, bool minus);

} // namespace qv
