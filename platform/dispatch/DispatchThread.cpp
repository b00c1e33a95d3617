#include "platform/dispatch/DispatchThread.h"

#include "platform/dispatch/AlternateSignalStack.h"
#include "platform/dispatch/ThreadLabels.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {
namespace {

// Its destructor runs when the thread ends, before the thread's id can be given to another.
struct LabelRelease {
    bool active = false;
    ~LabelRelease() {
        if (active) ThreadLabels::clear();
    }
};
thread_local LabelRelease labelRelease;

}  // namespace

void DispatchThread::begin(const std::string& label) {
    setCurrentThreadName(label);
    labelRelease.active = ThreadLabels::set(label) || labelRelease.active;
    AlternateSignalStack::installForCurrentThread();
}

}  // namespace wv
