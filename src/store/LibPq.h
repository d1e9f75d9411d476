#pragma once
// libpq, opened at run time once a server is named: linked in, it would pull its Kerberos, LDAP
// and TLS libraries into every start of a program that keeps its data in local files.
#include <libpq-fe.h>

namespace store {

#define TESVAN_LIBPQ_FUNCTIONS(X)                                                                            \
    X(PQconnectdbParams)                                                                                     \
    X(PQstatus)                                                                                              \
    X(PQerrorMessage)                                                                                        \
    X(PQfinish)                                                                                              \
    X(PQconsumeInput)                                                                                        \
    X(PQtransactionStatus)                                                                                   \
    X(PQexec)                                                                                                \
    X(PQprepare)                                                                                             \
    X(PQexecPrepared)                                                                                        \
    X(PQdescribePrepared)                                                                                    \
    X(PQresultStatus)                                                                                        \
    X(PQresultErrorField)                                                                                    \
    X(PQresultErrorMessage)                                                                                  \
    X(PQclear)                                                                                               \
    X(PQntuples)                                                                                             \
    X(PQnfields)                                                                                             \
    X(PQfname)                                                                                               \
    X(PQftype)                                                                                               \
    X(PQgetvalue)                                                                                            \
    X(PQgetlength)                                                                                           \
    X(PQgetisnull)                                                                                           \
    X(PQcmdTuples)                                                                                           \
    X(PQcmdStatus)                                                                                           \
    X(PQunescapeBytea)                                                                                       \
    X(PQconninfoParse)                                                                                       \
    X(PQconninfoFree)                                                                                        \
    X(PQfreemem)                                                                                             \
    X(PQgetCancel)                                                                                           \
    X(PQfreeCancel)                                                                                          \
    X(PQcancel)                                                                                              \
    X(PQsendQuery)                                                                                           \
    X(PQsendQueryPrepared)                                                                                   \
    X(PQsendPrepare)                                                                                         \
    X(PQsendDescribePrepared)                                                                                \
    X(PQgetResult)                                                                                           \
    X(PQisBusy)                                                                                              \
    X(PQflush)                                                                                               \
    X(PQsocket)                                                                                              \
    X(PQhost)                                                                                                \
    X(PQport)                                                                                                \
    X(PQenterPipelineMode)                                                                                   \
    X(PQexitPipelineMode)                                                                                    \
    X(PQpipelineSync)                                                                                        \
    X(PQsendQueryParams)

struct LibPq {
#define TESVAN_LIBPQ_MEMBER(f) decltype(&::f) f = nullptr;
    TESVAN_LIBPQ_FUNCTIONS(TESVAN_LIBPQ_MEMBER)
#undef TESVAN_LIBPQ_MEMBER
    bool loaded = false;
};

// The library's functions, loaded on the first call; loaded is false when libpq.so.5 is missing.
const LibPq& libpq();

} // namespace store
