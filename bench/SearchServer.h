#pragma once
// The server benchmark's search rows (SearchServer.cpp).
#include <QSqlDatabase>
#include <libpq-fe.h>

#include <functional>

// Copies 1,000,000 lines into the server's main database, makes the search index over them and
// prints each search and count against its libpq floor. Nonzero when something failed.
int searchRows(const QSqlDatabase& main, PGconn* c, int runs);

// The median of runs timings of work in ms; -1 when work failed once.
double medianOf(const std::function<bool()>& work, int runs);
