#include "shell/handover.h"

bool OpenedForCaller = false;
bool OpenAccountsAfterLock = false;
bool OpenMenusAfterLock = false;
bool OpenUsersAfterLock = false;
bool OpenRemoveDataAfterLock = false;
bool OpenLockPeriodAfterLock = false;
bool OpenImportAfterLock = false;
QString FindACType;
QString FindACRowID;
QString FindACName;

void ResetHandOver()
{
    OpenedForCaller = OpenAccountsAfterLock = OpenMenusAfterLock = false;
    OpenUsersAfterLock = OpenRemoveDataAfterLock = OpenLockPeriodAfterLock = OpenImportAfterLock = false;
    FindACType.clear();
    FindACRowID.clear();
    FindACName.clear();
}
