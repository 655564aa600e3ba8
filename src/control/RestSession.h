#pragma once

// The HTTP session that carried one REST call, as it was set up. Every call makes its own and
// shares nothing (no connection, cookie or cache) with any other call.
struct RestSession
{
    int timeoutMilliseconds = 0; // bounds the whole exchange, from connecting to the last byte
    bool verifyPeer = false; // the certificate chain and host name are checked
};
