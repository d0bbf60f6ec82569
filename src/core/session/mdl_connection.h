#pragma once
// The objects every window shares: the one connection, the two shared record sets and the
// login. The windows' hand-over flags are in shell/handover.h, with the windows.
#include "db/connection.h"
#include "db/recordset.h"

#include <QString>

extern qv::Connection Conn;
extern qv::RecordSet Rs;
extern qv::RecordSet Rs3;

// Each call discards whatever the record set held, whoever opened it.
void OpenRs(const QString& sql, const QVariantList& params = {});
void OpenRs3(const QString& sql, const QVariantList& params = {});

extern int ScreenWidth;
extern int ScreenHeight;
extern QString LoginUser;
extern QString LoginPassword;

// The catalog the login window opens ("Fendral"); tests point it at a database of their own.
extern QString LoginCatalog;

// Resets the shared record sets and the login to their start-up values (a new run, or a
// test's fresh start).
void ResetSharedState();

// The folder of the program's executable (Server.txt and the report templates sit there);
// tests point it elsewhere.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

// Where report templates are looked for: beside the program first (the build folder), then the
// installed share/quoravel/templates/, found relative to the program so that any prefix works.
QStringList TemplateFolders();
// A template path built on ProgramFolder(), as the print handlers build it: when no such file
// is there, the same name in the installed folder if it is there; otherwise the path unchanged
// (so that "not found" names the first place looked).
QString LocateTemplate(const QString& path);
