// Initialises a crash context into the folder given and then does one thing, so the tests can
// watch a fault kill a process or a debugger change what is installed.
//   context_child <folder> init|write-protected|write-writable
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXSDKLog.h"

using namespace wv;

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::string action = argv[2];
    QXContextInitData data{};
    data.apiKey = "child-key";
    data.reportDirectory = argv[1];
    data.executionIdentifier = "session-1";
    data.installationIdentifier = "install-1";
    if (!QXContextInitialize(&data)) return 3;
    for (int i = 0; i < 5000 && !QXContextIsInitialized(); ++i) usleep(1000);
    if (!QXContextIsInitialized()) return 4;
    QXLogInfo("child %s ready\n", argv[2]);

    stack_t current{};
    sigaltstack(nullptr, &current);
    printf("debugger=%d altstack=%d\n", int(qxContext->debuggerAttached),
           int(current.ss_sp == qxContext->signalStack && !(current.ss_flags & SS_DISABLE)));
    fflush(stdout);

    if (action == "write-protected") {
        // Must fault: the read-only record is write-protected now.
        *const_cast<volatile uint8_t*>(&qxContext->debuggerAttached) = 7;
        return 5;
    }
    if (action == "write-writable") {
        qxWritableContext->logging.errorsCount = 41;
        qxWritableContext->logging.errorsCount += 1;
        return qxWritableContext->logging.errorsCount == 42 ? 0 : 6;
    }
    return action == "init" ? 0 : 2;
}
