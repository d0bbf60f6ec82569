#pragma once
// "&Print" of the chart of accounts: the template "\rptChartAC.rpt" through the print
// sequence, logged on as the user, with no selection formula. An error is shown in a message
// box and opens no viewer.
void PrintChartOfAccounts();
