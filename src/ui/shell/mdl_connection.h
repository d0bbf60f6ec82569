#pragma once
// The objects every window shares: the program's one open book, with its connection and
// login under their old names. The windows' hand-over flags are in shell/handover.h, with the
// windows. Core code never reads these; it receives the book (or its connection).
#include "session/book.h"

#include <QString>

extern qv::Book TheBook;
extern qv::Connection& Conn; // TheBook.connection()

extern int ScreenWidth;
extern int ScreenHeight;
extern QString& LoginUser;     // TheBook.user
extern QString& LoginPassword; // TheBook.password

// The catalog the login window opens ("Fendral"); tests point it at a database of their own.
extern QString LoginCatalog;

// Resets the login to its start-up values (a new run, or a test's fresh start).
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
