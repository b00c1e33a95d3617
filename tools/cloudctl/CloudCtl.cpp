#include "tools/cloudctl/CloudCtl.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>

#include "platform/cloudkit/CloudConfiguration.h"
#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/ServerBackend.h"

namespace wv {

namespace {

using ck::ErrorCode;

std::optional<int64_t> number(const std::string& text) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Usage {
    std::string message;
};

}  // namespace

const char* CloudCtl::usage() {
    return "usage: wovanu-cloudctl [--folder DIR | --server CONNECTION] [--container ID]"
           " [--header] COMMAND\n"
           "  tables                          the tables show can print\n"
           "  show TABLE                      one tab-separated line per row\n"
           "  account INSTALLATION available|restricted|none|unknown|default\n"
           "  network INSTALLATION up|down\n"
           "  fail KIND COUNT ERROR [INSTALLATION]\n"
           "  fail-record NAME COUNT ERROR [INSTALLATION]\n"
           "  clear-faults\n"
           "  hold INSTALLATION               wait after its next commits until released\n"
           "  release INSTALLATION\n"
           "  page-size N\n"
           "  order creation|reversed|random [SEED]\n"
           "  notification-limit N\n"
           "  push-originator on|off\n"
           "  reset-epoch                     expires every change token\n";
}

int CloudCtl::run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::optional<std::filesystem::path> folder;
    std::optional<std::string> server;
    std::string container = ck::CloudConfiguration::kDefaultContainerIdentifier;
    bool header = false;
    size_t i = 0;
    for (; i < arguments.size() && arguments[i].rfind("--", 0) == 0; ++i) {
        if (arguments[i] == "--header") {
            header = true;
        } else if ((arguments[i] == "--folder" || arguments[i] == "--server" ||
                    arguments[i] == "--container") &&
                   i + 1 < arguments.size()) {
            if (arguments[i] == "--folder") folder = arguments[i + 1];
            if (arguments[i] == "--server") server = arguments[i + 1];
            if (arguments[i] == "--container") container = arguments[i + 1];
            ++i;
        } else {
            err << usage();
            return 2;
        }
    }
    if (i >= arguments.size()) {
        err << usage();
        return 2;
    }
    const std::string command = arguments[i];
    const std::vector<std::string> args(arguments.begin() + long(i) + 1, arguments.end());

    if (command == "tables") {
        for (const auto& name : ck::ContainerControl::tables()) out << name << '\n';
        return 0;
    }

    std::unique_ptr<ck::Backend> backend;
    if (server) {
        backend = ck::makeServerBackend(*server, container);
        if (!backend) {
            err << "wovanu-cloudctl: this build cannot reach a server\n";
            return 1;
        }
    } else if (folder) {
        const auto file = ck::FolderBackend::fileInFolder(*folder, container);
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            err << "wovanu-cloudctl: no container at " << file.string() << '\n';
            return 1;
        }
        backend = std::make_unique<ck::FolderBackend>(file, container);
    } else {
        auto config = ck::CloudConfiguration::standard();
        config.containerIdentifier = container;
        if (!config.configured()) {
            err << "wovanu-cloudctl: no cloud is configured (give --folder or --server, or set "
                   "WOVANU_CLOUD_FOLDER or WOVANU_CLOUD_SERVER)\n";
            return 1;
        }
        backend = config.makeBackend();
        if (!backend) {
            err << "wovanu-cloudctl: this build cannot reach the configured cloud\n";
            return 1;
        }
    }
    ck::ContainerControl control(std::move(backend));

    auto code = [](const std::string& name) {
        auto c = ck::errorCodeNamed(name);
        if (!c) throw Usage{"no error named \"" + name + "\""};
        return *c;
    };
    auto count = [](const std::string& text) {
        auto n = number(text);
        if (!n) throw Usage{"not a number: " + text};
        return *n;
    };
    auto need = [&](size_t least, size_t most) {
        if (args.size() < least || args.size() > most) throw Usage{"wrong number of arguments"};
    };

    std::optional<ck::Error> error;
    try {
        if (command == "show") {
            need(1, 1);
            const ck::Table table = control.inspect(args[0]);
            if (table.error) {
                error = table.error;
            } else {
                auto line = [&](const std::vector<std::string>& cells) {
                    for (size_t c = 0; c < cells.size(); ++c) out << (c ? "\t" : "") << cells[c];
                    out << '\n';
                };
                if (header) line(table.columns);
                for (const auto& row : table.rows) line(row);
            }
        } else if (command == "account") {
            need(2, 2);
            static const std::map<std::string, std::optional<ck::AccountStatus>> kStatus = {
                {"available", ck::AccountStatus::Available},
                {"restricted", ck::AccountStatus::Restricted},
                {"none", ck::AccountStatus::NoAccount},
                {"unknown", ck::AccountStatus::CouldNotDetermine},
                {"default", std::nullopt}};
            auto it = kStatus.find(args[1]);
            if (it == kStatus.end()) throw Usage{"no account status named \"" + args[1] + "\""};
            error = control.setAccountStatus(args[0], it->second);
        } else if (command == "network") {
            need(2, 2);
            if (args[1] != "up" && args[1] != "down") throw Usage{"network is up or down"};
            error = control.setNetworkDown(args[0], args[1] == "down");
        } else if (command == "fail") {
            need(3, 4);
            error = control.failNext(args[0], count(args[1]), code(args[2]),
                                     args.size() > 3 ? args[3] : "*");
        } else if (command == "fail-record") {
            need(3, 4);
            error = control.failRecord(args[0], count(args[1]), code(args[2]),
                                       args.size() > 3 ? args[3] : "*");
        } else if (command == "clear-faults") {
            need(0, 0);
            error = control.clearFaults();
        } else if (command == "hold") {
            need(1, 1);
            error = control.hold(args[0]);
        } else if (command == "release") {
            need(1, 1);
            error = control.release(args[0]);
        } else if (command == "page-size") {
            need(1, 1);
            error = control.setPageSize(count(args[0]));
        } else if (command == "order") {
            need(1, 2);
            static const std::map<std::string, ck::QueryOrder> kOrders = {
                {"creation", ck::QueryOrder::Creation},
                {"reversed", ck::QueryOrder::Reversed},
                {"random", ck::QueryOrder::Random}};
            auto it = kOrders.find(args[0]);
            if (it == kOrders.end()) throw Usage{"no order named \"" + args[0] + "\""};
            error = control.setOrder(it->second,
                                     args.size() > 1 ? static_cast<uint64_t>(count(args[1])) : 1);
        } else if (command == "notification-limit") {
            need(1, 1);
            error = control.setNotificationLimit(count(args[0]));
        } else if (command == "push-originator") {
            need(1, 1);
            if (args[0] != "on" && args[0] != "off") throw Usage{"push-originator is on or off"};
            error = control.setPushToOriginator(args[0] == "on");
        } else if (command == "reset-epoch") {
            need(0, 0);
            error = control.resetEpoch();
        } else {
            throw Usage{"no command named \"" + command + "\""};
        }
    } catch (const Usage& usage) {
        err << "wovanu-cloudctl: " << usage.message << '\n' << CloudCtl::usage();
        return 2;
    }
    if (error) {
        err << "wovanu-cloudctl: " << control.location() << ": " << error->description() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace wv
