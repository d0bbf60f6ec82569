#pragma once
// The flags through which windows hand work to each other: who opened the chart of accounts,
// which window the lock gate opens, and the account the finder picked. Window state only; the
// data layer never reads them.
#include <QString>

extern bool OpenedForCaller;
extern bool OpenAccountsAfterLock;
extern bool OpenMenusAfterLock;
// The lock gate's other targets: "Add Users" and "Remove Data".
extern bool OpenUsersAfterLock;
extern bool OpenRemoveDataAfterLock;
extern bool OpenLockPeriodAfterLock; // "Lock Period", beside "Set Menus"
extern bool OpenImportAfterLock;     // "Import", beside "Lock Period"

// Account finder hand-over.
extern QString FindACType;
extern QString FindACRowID;
extern QString FindACName;

// Every flag back to its start-up value (a new login, or a test's fresh start).
void ResetHandOver();
