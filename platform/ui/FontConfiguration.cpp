#include "platform/ui/FontConfiguration.h"

#include <fontconfig/fontconfig.h>
#include <pthread.h>

#include <thread>

namespace wv {

void startReadingFontConfiguration() {
    std::thread([] {
        pthread_setname_np(pthread_self(), "wovanu.fonts");
        FcInit();
    }).detach();
}

}  // namespace wv
