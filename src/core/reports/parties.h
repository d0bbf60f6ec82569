#pragma once
// The parties a party report covers: a subsidiary account itself, or every subsidiary account
// under a control or sub-control head (all customers, all suppliers), in the order of their
// codes as the chart shows them (1.2.9 before 1.2.10).
#include "db/connection.h"

#include <QList>

namespace qv::rpt {

struct Party {
    qint64 id = 0;
    QString nodes, name;
};

struct PartyHead {
    Party account;  // the account asked for
    QString status; // "HH", "HD" or "DD"
};

// Throws DbError when `account` is no account of the chart.
QList<Party> partiesOf(Connection& c, qint64 account, PartyHead* head = nullptr);

// What a customer's application says of the applicant (the lowest application number when an
// account carries more than one): empty `name` and `regNo` when it carries none.
struct Applicant {
    bool found = false;
    QString name, regNo, nic, address;
};
Applicant applicantOf(Connection& c, qint64 account);

} // namespace qv::rpt

namespace qv::rpt {

// The control and sub-control heads, in code order: what a party report may be asked for.
QList<PartyHead> partyHeads(Connection& c);

} // namespace qv::rpt
