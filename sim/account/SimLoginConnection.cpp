#include "sim/account/SimLoginConnection.h"

#include <algorithm>

#include "account/AccountFraming.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"
#include "sim/account/SimAccountReplies.h"
#include "sim/account/SimAccountServer.h"

namespace orbisight::sim {
namespace {

bool IsDecimal(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

SimLoginConnection::SimLoginConnection(int socket, SimAccountServer& server)
    : socket_(socket), server_(server) {
    thread_ = std::thread([this] {
        SetCurrentThreadName("sim/acct-conn");
        Run();
        finished_.store(true);
    });
}

SimLoginConnection::~SimLoginConnection() {
    Drop();
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseSocket(socket_);
}

void SimLoginConnection::Drop() {
    dropped_.store(true);
    ShutdownSocket(socket_);
}

std::string SimLoginConnection::User() const {
    std::lock_guard lock(userMutex_);
    return user_;
}

void SimLoginConnection::Push(CXOMPPackageBuilder& message) {
    server_.Send(socket_, message);
}

void SimLoginConnection::Reply(CXOMPPackageBuilder& reply) {
    server_.Send(socket_, reply);
}

void SimLoginConnection::Run() {
    AccountReadTimeouts timeouts;
    timeouts.prefixMs = 0;  // wait for the client as long as it likes
    timeouts.headerMs = 5000;
    timeouts.bodyMs = 5000;
    for (;;) {
        AccountMessage message;
        std::string problem;
        AccountReadResult result = ReadAccountMessage(socket_, timeouts, message, &problem);
        if (result != AccountReadResult::kMessage) {
            if (!dropped_.load() && problem != "connection closed or no length prefix") {
                server_.ReportViolation("login connection: " + problem);
            }
            return;
        }
        if (!message.body.empty()) {
            server_.ReportViolation("login connection: a client message with a body");
        }
        if (!Handle(message.header)) {
            return;
        }
    }
}

bool SimLoginConnection::Handle(const std::string& header) {
    CXOMPPackageParser request;
    request.parse(header);
    std::string line = std::string(request.command()) + " " + std::string(request.resourceName());
    server_.Counted(line);
    if (server_.Fault() == AccountFault::kDrop) {
        return false;
    }
    if (request.isReply()) {
        server_.ReportViolation("login connection: the client sent a status line");
        return true;
    }
    std::string user = User();
    if (request.command() == "login" && request.resourceName() == "user") {
        return HandleLogin(request);
    }
    if (user.empty()) {
        server_.ReportViolation("login connection: \"" + line + "\" before a login");
        CXOMPPackageBuilder reply;
        reply.setStatus(403, "Login first");
        Reply(reply);
        return true;
    }
    if (line == "HeartBeat user") {
        if (request.sectionCount() != 0) {
            server_.ReportViolation("heartbeat with sections");
        }
        return true;  // no answer: the client waits for none
    }
    if (line == "Logout user") {
        if (request.section("username") != user) {
            server_.ReportViolation("logout for another user");
        }
        return false;
    }
    if (request.command() == "get") {
        HandleGet(request, user);
        return true;
    }
    server_.ReportViolation("login connection: unknown request \"" + line + "\"");
    CXOMPPackageBuilder reply;
    reply.setStatus(400, "Bad request");
    Reply(reply);
    return true;
}

bool SimLoginConnection::HandleLogin(const CXOMPPackageParser& request) {
    bool hasUser = false;
    bool hasPassword = false;
    std::string name(request.section("username", &hasUser));
    std::string password(request.section("password", &hasPassword));
    if (!hasUser || !hasPassword) {
        server_.ReportViolation("login without username or password");
    }
    SimOutcome outcome = server_.Store().CheckLogin(name, password);
    CXOMPPackageBuilder reply;
    reply.setStatus(outcome.code, outcome.description);
    if (outcome.code == 200) {
        if (server_.Expire() > 0) {
            reply.addSection("expire", std::to_string(server_.Expire()));
        }
        reply.addSection("pub-version", "1");
        reply.addSection("dev-version", std::to_string(server_.Store().Version()));
        std::lock_guard lock(userMutex_);
        user_ = name;
    }
    Reply(reply);
    return true;
}

std::vector<SimListEntry> SimLoginConnection::EntriesOf(const CXOMPPackageParser& request) {
    std::vector<SimListEntry> entries;
    for (size_t index = 0; index < request.sectionCount(); ++index) {
        auto [name, value] = request.sectionAt(index);
        if (name == "group-id" || name == "device-id") {
            entries.push_back({name == "group-id", std::string(value)});
        }
    }
    return entries;
}

void SimLoginConnection::ReplyEntries(const std::string& cseq,
                                      const std::vector<SimListEntry>& entries, int total) {
    CXOMPPackageBuilder reply;
    reply.setStatus(200, "OK");
    if (total >= 0) {
        reply.addSection("total", std::to_string(total));
    }
    for (const auto& entry : entries) {
        reply.addSection(entry.isGroup ? "group-id" : "device-id", entry.id);
    }
    reply.addSection("cseq", cseq);
    Reply(reply);
}

void SimLoginConnection::HandleGet(const CXOMPPackageParser& request, const std::string& user) {
    bool hasCseq = false;
    std::string cseq(request.section("cseq", &hasCseq));
    std::string resource(request.resourceName());
    if (!hasCseq) {
        server_.ReportViolation("\"get " + resource + "\" without cseq");
    }
    std::vector<SimListEntry> asked = EntriesOf(request);
    if (asked.size() > kMaxBatch) {
        server_.ReportViolation("\"get " + resource + "\" with " + std::to_string(asked.size()) +
                                " entries (at most 50)");
    }
    SimAccountStore& store = server_.Store();
    CXOMPPackageBuilder reply;

    if (resource == "all-dev") {
        if (cseq != "2000") {
            server_.ReportViolation("all-dev with cseq \"" + cseq + "\"");
        }
        // The first page of the whole list; the client pages through the rest.
        auto entries = store.Entries(user, 0);
        int total = static_cast<int>(entries.size());
        entries.resize(std::min(entries.size(), kPageSize));
        ReplyEntries("2 [0]", entries, total);
        return;
    }
    if (resource == "dev-list") {
        bool hasPage = false;
        std::string_view page = request.section("page", &hasPage);
        if (hasPage) {
            std::string_view group = request.section("group-id");
            if (!IsDecimal(page) || !IsDecimal(group)) {
                server_.ReportViolation("dev-list page request with page \"" + std::string(page) +
                                        "\" and group \"" + std::string(group) + "\"");
            }
            auto entries = store.Entries(user, ParseDecimal(group));
            size_t first =
                std::min(entries.size(), static_cast<size_t>(ParseDecimal(page)) * kPageSize);
            size_t last = std::min(entries.size(), first + kPageSize);
            ReplyEntries(cseq,
                         {entries.begin() + static_cast<std::ptrdiff_t>(first),
                          entries.begin() + static_cast<std::ptrdiff_t>(last)},
                         -1);
            return;
        }
        std::vector<SimListEntry> known;
        for (const auto& entry : asked) {
            bool mine = entry.isGroup
                            ? store.Group(user, ParseDecimal(entry.id)).has_value()
                            : (store.Device(entry.id) && store.Device(entry.id)->owner == user);
            if (mine) {
                known.push_back(entry);
            }
        }
        ReplyEntries(cseq, known, -1);
        return;
    }
    if (resource == "dev-info") {
        int elements = 0;
        std::string body = DevInfoXml(store, user, asked, &elements);
        reply.setStatus(200, "OK");
        reply.addSection("total", std::to_string(elements));
        reply.addSection("cseq", cseq);
        reply.setBody(body);
        Reply(reply);
        return;
    }
    if (resource == "dev-status" || resource == "online-dev") {
        std::vector<SimDevice> devices;
        if (resource == "online-dev") {
            devices = store.DevicesOf(user);
        } else {
            for (const auto& entry : asked) {
                if (entry.isGroup) {
                    server_.ReportViolation("dev-status request names a group");
                    continue;
                }
                auto device = store.Device(entry.id);
                if (device && device->owner == user) {
                    devices.push_back(*device);
                }
            }
        }
        reply.setStatus(200, "OK");
        reply.addSection("cseq", cseq);
        reply.setBody(DevStatusXml(devices));
        Reply(reply);
        return;
    }
    if (resource == "usr-info") {
        auto info = store.User(user);
        reply.setStatus(200, "OK");
        reply.addSection("cseq", cseq);
        if (info) {
            reply.setBody(UserInfoXml(*info));
        }
        Reply(reply);
        return;
    }
    server_.ReportViolation("unknown resource \"get " + resource + "\"");
    reply.setStatus(404, "Unknown resource");
    reply.addSection("cseq", cseq);
    Reply(reply);
}

}  // namespace orbisight::sim
