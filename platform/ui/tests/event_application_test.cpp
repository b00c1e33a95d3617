#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QEvent>
#include <filesystem>
#include <QObject>
#include <string>
#include <vector>

#include "platform/foundation/PlatformException.h"
#include "platform/ui/EventApplication.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

class Throwing : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw PlatformException("HandlerException", "boom");
        return QObject::event(event);
    }
};

std::vector<std::string> reported;
void recordReport(const PlatformException& e) { reported.push_back(e.name() + ": " + e.reason()); }

TEST(EventApplication, AnExceptionEscapingAHandlerGoesToTheReporterAndTheLoopGoesOn) {
    test::application();
    auto previous = PlatformException::setReporter(recordReport);
    Throwing receiver;
    QEvent first(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &first));
    QEvent second(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &second));
    PlatformException::setReporter(previous);
    EXPECT_EQ(reported,
              (std::vector<std::string>{"HandlerException: boom", "HandlerException: boom"}));
}

TEST(EventApplication, OtherExceptionsAreNotItsBusiness) {
    test::application();
    class Other : public QObject {
      public:
        bool event(QEvent*) override { throw 7; }
    } receiver;
    QEvent event(QEvent::User);
    EXPECT_THROW(QCoreApplication::sendEvent(&receiver, &event), int);
}

// A folder with what a runtime folder may hold under the bus socket's name.
class RuntimeFolder {
  public:
    enum class Bus { None, Socket, PlainFile };
    explicit RuntimeFolder(Bus bus) {
        char pattern[] = "/tmp/wv-runtime-XXXXXX";
        path_ = mkdtemp(pattern);
        const std::string bus_path = path_ + "/bus";
        if (bus == Bus::PlainFile) fclose(fopen(bus_path.c_str(), "w"));
        if (bus == Bus::Socket) {
            fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            bus_path.copy(address.sun_path, sizeof(address.sun_path) - 1);
            EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        }
    }
    ~RuntimeFolder() {
        if (fd_ >= 0) close(fd_);
        std::filesystem::remove_all(path_);
    }
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
    int fd_ = -1;
};

TEST(EventApplication, ASessionBusIsInReachThroughItsAddressOrTheRuntimeFoldersSocketOnly) {
    using Bus = RuntimeFolder::Bus;
    const struct {
        const char* address;
        Bus bus;
        bool withFolder;
        bool inReach;
    } cases[] = {
        {"unix:path=/run/user/1000/bus", Bus::None, false, true},
        {"unix:path=/run/user/1000/bus", Bus::None, true, true},
        {nullptr, Bus::Socket, true, true},
        {"", Bus::Socket, true, true},
        {nullptr, Bus::None, true, false},
        {nullptr, Bus::PlainFile, true, false},  // a file under the name is no bus
        {nullptr, Bus::None, false, false},
        {"", Bus::None, false, false},
    };
    for (const auto& c : cases) {
        RuntimeFolder folder(c.bus);
        SCOPED_TRACE(std::string(c.address ? c.address : "(no address)") + " folder " +
                     (c.withFolder ? folder.path() : "(none)"));
        EXPECT_EQ(EventApplication::sessionBusInReach(c.address,
                                                      c.withFolder ? folder.path() : nullptr),
                  c.inReach);
    }
}

}  // namespace
}  // namespace wv
