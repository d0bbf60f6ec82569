#pragma once
// Bound boxes: entry boxes that map to table columns carry a `tag` ("D", "M", ...) and the
// column name in `dataField`, as dynamic properties. Clearing, loading, saving and the
// maximum lengths walk the window's boxes and act on each through its column.
#include <QList>
#include <QString>

class QLineEdit;
class QWidget;

namespace qv {
class Connection;
class RecordSet;

void bind(QLineEdit* box, const QString& tag, const QString& dataField);
QList<QLineEdit*> boundBoxes(const QWidget* root, const QString& tag);
void clearBound(const QWidget* root, const QString& tag);
// Each box's maximum length from its column's defined width (unchanged when unknown).
void setBoundMaxLengths(const QWidget* root, const QString& tag, Connection& c, const QString& table);
// Loads each box from the current row (null shows as empty).
void fillBound(const QWidget* root, const QString& tag, const RecordSet& rs);
// Writes each box into the current row; an empty box is written as null.
void writeBound(const QWidget* root, const QString& tag, RecordSet& rs);

// A masked box ("##-##-####-###-##"): '#' a digit, '_' shown for each blank.
void setDigitMask(QLineEdit* box, const QString& hashes);
// Whether every position of the mask is typed.
bool maskComplete(const QLineEdit* box);

// Window measures are in twips (1440 to the inch; 15 to a pixel at 96 dpi).
constexpr int twips(int t)
{
    return t / 15;
}
void placeTwips(QWidget* w, int leftTwips, int topTwips);

} // namespace qv
