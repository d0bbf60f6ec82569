#pragma once
// The table and column names of the database, in one place.
namespace qv::tbl {

inline constexpr const char* Accounts = "Accounts";
inline constexpr const char* MasJV = "MasJV";
inline constexpr const char* DetJV = "DetJV";
inline constexpr const char* VouSetting = "VouSetting";
inline constexpr const char* Company = "Company";
inline constexpr const char* Catagory = "tblCatagory";
inline constexpr const char* Application = "tblApplication";
inline constexpr const char* Menus = "Menus";
inline constexpr const char* LctPswd = "LctPswd";
inline constexpr const char* Logins = "Logins";             // embedded database only
inline constexpr const char* SchemaInfo = "SchemaInfo";     // schema version
inline constexpr const char* AcClass = "AcClass";           // control head code -> its class
inline constexpr const char* BookSettings = "BookSettings"; // a name -> its value
inline constexpr const char* PeriodLock = "PeriodLock";     // every move of the locked-up-to date
inline constexpr const char* AuditTrail = "AuditTrail";     // the hash chain of every change
inline constexpr const char* BankRecon = "BankRecon";       // finished bank reconciliations
inline constexpr const char* BankClearing = "BankClearing"; // a bank book line ticked or cleared

// The one group role of every book on a server before schema version 2 (each book has its own
// roles now, db/serverbook.h); the upgrade moves its members over.
inline constexpr const char* LegacyGroupRole = "quoravel_users";
// The fixed catalog (database) name.
inline constexpr const char* Catalog = "Fendral";

// The eleven voucher setup rows, in their stored order.
inline constexpr const char* VouSettingCodes[] = {"CP", "CR", "BP", "BR", "JV", "SI", "PO", "QT", "DC", "TI", "GI"};

} // namespace qv::tbl
