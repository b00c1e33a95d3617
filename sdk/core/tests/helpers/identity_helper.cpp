// Prints the installation identity of a fresh process: "<installID> <isFirstInstall>".
#include <cstdio>

#include "sdk/core/Tarnel.h"

int main() {
    wv::Tarnel& sdk = wv::Tarnel::sharedSDK();
    std::printf("%s %d\n", sdk.installID().c_str(), sdk.isFirstInstall() ? 1 : 0);
    return 0;
}
