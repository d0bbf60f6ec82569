#pragma once
// Keyboard rules every window follows, so that each action is reachable without the mouse.
class QAbstractItemView;
class QLineEdit;
class QTabWidget;
class QWidget;

namespace qv {

// Enter (or keypad Enter) on a focused push button under `root` presses it.
void enterPressesButtons(QWidget* root);
// Ctrl+PgDn / Ctrl+PgUp on any control inside the tab widget show the next / previous tab.
void tabKeys(QTabWidget* tabs);
// Both rules on every button and tab widget under `root`.
void keyboardRules(QWidget* root);
// Enter on a row of a search grid acts as a double click on it.
void enterActsAsDoubleClick(QAbstractItemView* grid);
// The whole text is selected each time the box takes the focus, so that typing replaces it.
void selectAllOnFocus(QLineEdit* box);
// A search grid scrolled back to its first column and row after a refill.
void scrollHome(QAbstractItemView* grid);

} // namespace qv
