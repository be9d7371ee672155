// The waits and counts of the device link, in one place. The defaults are
// the product's own; tests shorten them (SetLinkTiming) so that a stuck
// agent or a missing file does not cost them minutes.
//
// Set it before device work starts; reading is safe from any thread.
#pragma once

namespace devlink {

struct LinkTiming {
    int initWaitMs = 1500; // InitRapi waits this long for the init event
    int connectRetryWaitMs = 1000; // between the attempts of ConnectWithRetries
    int connectionDialogRetryMs = 5000; // the connection-error dialog's retry timer
    int createFileRetryWaitMs = 500; // RapiCeCreateFile, between its tries
    int statusPollMs = 100; // the agent wait loop polls "Status" this often
    int stuckPolls = 200; // unchanged polls before "Your device has stopped responding."
    int handOverSettleMs = 500; // a "Done." that left no results must stay so this long
    int cancelCheckMs = 1000; // CancelAgent, between its checks
    int cancelChecks = 30;
    int requestPumpMs = 500; // the request loop dispatches events this often
    int progressTimerMs = 200; // timer 2 of a shown request
    int resultsExistWaitMs = 1000; // LoadResults, waiting for the results file
    int resultsExistTries = 10;
    int resultsReadWaitMs = 1000; // LoadResults, waiting for it to become readable
    int resultsReadTries = 30;
    int readFailWaitMs = 2000; // DeviceTextFile::Read after a failed attempt
    int schemaRetryWaitMs = 500; // reading DBSchema.bin again
    int testRunDeleteWaitMs = 500; // TestRunAgent before removing the agent folder
};

const LinkTiming& Timing();
void SetLinkTiming(const LinkTiming& timing);

} // namespace devlink
