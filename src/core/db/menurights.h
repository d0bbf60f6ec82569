#pragma once
// The 28 rights of the "Menus" table, in their stored order: the caption of each check box of
// the rights window (an ampersand stored doubled) and the box's objectName.
#include <array>

namespace qv {

struct MenuRight {
    const char* box;
    const char* caption;
    bool reports; // in the "Reports" frame
};

inline constexpr std::array<MenuRight, 28> MenuRights{{
    {"Check", "Item Registration", false},
    {"Check1", "Company", false},
    {"Check2", "Chart Of Accounts", false},
    {"Check3", "Sales Invoice", false},
    {"Check4", "Vouchers", false},
    {"Check5", "Report", false},
    {"Check6", "Voucher Setup", false},
    {"Check7", "Purchase Order", false},
    {"Check8", "Quotation", false},
    {"Check9", "Purchase Invoice", false},
    {"Check10", "Delivery Chelan", false},
    {"Check11", "Terms && Condition", false},
    {"Check12", "GST Invoice", false},
    {"Check13", "Non GST Invoice", false},
    {"Check14", "GRN Entry", false},
    {"Check15", "Requisition Entry", false},
    {"Check16", "CASH BOOK", true},
    {"Check17", "BANK BOOK", true},
    {"Check18", "SIMPLE LEDGER", true},
    {"Check19", "DETAIL LEDGER", true},
    {"Check20", "SUBSIDIARY TRIAL BALANCE SIMPLE", true},
    {"Check21", "CONTROL TRIAL BALANCE", true},
    {"Check22", "SUBSIDIARY TRIAL BALANCE (WITH OPENING)", true},
    {"Check23", "OUTSTANDING INVOICE", true},
    {"Check24", "STOCK SUMMARY REPORT", true},
    {"Check25", "STOCK DETAIL REPORT", true},
    {"Check26", "CHECQUE RECEIVE REPORT", true},
    {"Check27", "CUSTOMER INVOICES", true},
}};

} // namespace qv
