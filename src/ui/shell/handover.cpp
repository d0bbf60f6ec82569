#include "shell/handover.h"

bool OpenedForCaller = false;
bool OpenAccountsAfterLock = false;
bool OpenMenusAfterLock = false;
bool OpenUsersAfterLock = false;
bool OpenRemoveDataAfterLock = false;
bool OpenLockPeriodAfterLock = false;
QString FindACType;
QString FindACRowID;
QString FindACName;

void ResetHandOver()
{
    OpenedForCaller = OpenAccountsAfterLock = OpenMenusAfterLock = false;
    OpenUsersAfterLock = OpenRemoveDataAfterLock = OpenLockPeriodAfterLock = false;
    FindACType.clear();
    FindACRowID.clear();
    FindACName.clear();
}
