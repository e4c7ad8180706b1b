#pragma once

namespace orbisight {

// Every wait of the account session. The defaults are the service's; tests
// shorten them instead of sleeping for minutes.
struct AccountTimings {
    int loginConnectTimeoutMs = 5000;     // one connect attempt to the login server
    int registerConnectTimeoutMs = 2000;  // the one-shot register connection
    int replyTimeoutMs = 5000;            // register reply: prefix and header
    int prefixTimeoutMs = 5000;           // login connection: length prefix
    int headerTimeoutMs = 15000;          // login connection: header
    int bodyTimeoutMs = 5000;             // login connection: body
    int readableWaitMs = 10000;           // receive thread: wait for data
    // A send that cannot finish within this counts as a broken connection.
    int sendTimeoutMs = 5000;
    int heartbeatUnitMs = 1000;  // one second of the heartbeat interval
    // Pause after a failed reconnect cycle: on a machine where the server
    // refuses at once, cycles would otherwise follow each other without rest.
    int reconnectPauseMs = 5000;
    int threadStopWaitMs = 1400;     // receive and heartbeat threads
    int lanStopWaitMs = 5000;        // LAN listener
    int groupQuietMs = 3000;         // detail fetch: quiet time after a complete group
    int devInfoPacingMs = 2000;      // between device-information batches
    int statusReplyWaitMs = 300000;  // for the reply to one status batch
    int pagerWaitMs = 4500000;       // pager: for the next page signal

    // Short waits for tests against the simulator on loopback.
    static AccountTimings Fast() {
        AccountTimings t;
        t.loginConnectTimeoutMs = 1000;
        t.registerConnectTimeoutMs = 1000;
        t.replyTimeoutMs = 2000;
        t.prefixTimeoutMs = 2000;
        t.headerTimeoutMs = 2000;
        t.bodyTimeoutMs = 2000;
        t.readableWaitMs = 300;
        t.heartbeatUnitMs = 20;
        t.reconnectPauseMs = 50;
        t.groupQuietMs = 100;
        t.devInfoPacingMs = 10;
        t.statusReplyWaitMs = 3000;
        return t;
    }
};

}  // namespace orbisight
