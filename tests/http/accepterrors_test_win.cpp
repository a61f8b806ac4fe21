// What the listener makes of the errors AcceptEx and its completions report: those of one
// connection are skipped, shortages waited out, and only a listener that is gone ends serve.
#include "async/acceptfailure.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>

using namespace quorvin;

TEST(AcceptErrors, WhatEachCodeSaysOfTheListener) {
    struct Case {
        const char* name;
        int code;
        AcceptFailure expected;
    };
    const Case cases[] = {
        {"ERROR_CONNECTION_ABORTED", ERROR_CONNECTION_ABORTED, AcceptFailure::OneConnection},
        {"ERROR_NETNAME_DELETED", ERROR_NETNAME_DELETED, AcceptFailure::OneConnection},
        {"ERROR_UNEXP_NET_ERR", ERROR_UNEXP_NET_ERR, AcceptFailure::OneConnection},
        {"ERROR_SEM_TIMEOUT", ERROR_SEM_TIMEOUT, AcceptFailure::OneConnection},
        {"ERROR_HOST_UNREACHABLE", ERROR_HOST_UNREACHABLE, AcceptFailure::OneConnection},
        {"WSAECONNRESET", WSAECONNRESET, AcceptFailure::OneConnection},
        {"WSAEMFILE", WSAEMFILE, AcceptFailure::Shortage},
        {"WSAENOBUFS", WSAENOBUFS, AcceptFailure::Shortage},
        {"ERROR_NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY, AcceptFailure::Shortage},
        {"an unforeseen code", 12345, AcceptFailure::Shortage},
        {"ERROR_OPERATION_ABORTED (listener closed)", ERROR_OPERATION_ABORTED,
         AcceptFailure::ListenerGone},
        {"WSAENOTSOCK", WSAENOTSOCK, AcceptFailure::ListenerGone},
        {"WSAEINVAL (not listening)", WSAEINVAL, AcceptFailure::ListenerGone},
        {"ERROR_INVALID_HANDLE", ERROR_INVALID_HANDLE, AcceptFailure::ListenerGone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyAcceptError(c.code), c.expected) << c.name;
    }
}
