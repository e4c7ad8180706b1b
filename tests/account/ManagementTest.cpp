#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "account/AccountDialogChecks.h"
#include "account/AccountFraming.h"
#include "platform/Socket.h"
#include "tests/account/SimAccountFixture.h"

namespace orbisight {
namespace {

using Management = test::SimAccountFixture;
using Section = std::pair<std::string, std::string>;

// A register server that answers one request with a fixed status and keeps
// what it received.
class CaptureServer {
  public:
    explicit CaptureServer(int status) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        port_ = LocalPort(listener_);
        thread_ = std::thread([this, status] {
            pollfd pfd{listener_, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0) {
                return;
            }
            int client = ::accept(listener_, nullptr, nullptr);
            AccountMessage message;
            AccountReadTimeouts timeouts;
            timeouts.prefixMs = timeouts.headerMs = 2000;
            if (ReadAccountMessage(client, timeouts, message) == AccountReadResult::kMessage) {
                parser_.parse(message.header);
                received_ = true;
            }
            CXOMPPackageBuilder reply;
            reply.setStatus(status, status == 200 ? "OK" : "Dev already bind");
            SendAll(2000, reply.getDataLen(), client, reply.getBuffer());
            ::close(client);
        });
    }
    ~CaptureServer() {
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(listener_);
    }
    int Port() const { return port_; }
    // Joins the server and returns the sections it received, in order.
    std::vector<Section> Sections(std::string* line = nullptr) {
        thread_.join();
        std::vector<Section> sections;
        if (!received_) {
            return sections;
        }
        if (line != nullptr) {
            *line = std::string(parser_.command()) + " " + std::string(parser_.resourceName());
        }
        const char* name;
        const char* value;
        int nameLength;
        int valueLength;
        parser_.rewindSections();
        while (parser_.getNextSection(name, nameLength, value, valueLength)) {
            sections.emplace_back(std::string(name, static_cast<size_t>(nameLength)),
                                  std::string(value, static_cast<size_t>(valueLength)));
        }
        return sections;
    }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    CXOMPPackageParser parser_;
    bool received_ = false;
};

TEST_F(Management, RequestsCarryTheirSectionsInOrder) {
    {
        CaptureServer server(200);
        WriteIni(1, server.Port());
        auto worker = MakeWorker();
        RegistrationInput input{" Carol ", " C ", "pw", "pw", "c@example.org"};
        ASSERT_EQ(CheckRegistration(input), "");
        EXPECT_EQ(worker->RegisterUser(input.email, input.userName, input.password, input.nickname),
                  1);
        std::string line;
        EXPECT_EQ(server.Sections(&line), (std::vector<Section>{{"username", "carol"},
                                                                {"password", "pw"},
                                                                {"nickname", "C"},
                                                                {"email", "c@example.org"}}));
        EXPECT_EQ(line, "register_user reg-s");
    }
    {
        // No nickname and no new password: only the credentials.
        CaptureServer server(200);
        WriteIni(1, server.Port());
        auto worker = MakeWorker();
        EXPECT_EQ(worker->ModifyUser("carol", "pw", "", ""), 1);
        EXPECT_EQ(server.Sections(),
                  (std::vector<Section>{{"username", "carol"}, {"password", "pw"}}));
    }
    {
        // Unbind needs no login and falls back to the session's credentials.
        CaptureServer server(200);
        WriteIni(1, server.Port());
        auto worker = MakeWorker();
        worker->StoreCredentials("dave", "dpw");
        EXPECT_EQ(worker->UnbindDevice("", "ORBI00000001", "ignored"), 1);
        std::string line;
        EXPECT_EQ(server.Sections(&line),
                  (std::vector<Section>{
                      {"username", "dave"}, {"password", "dpw"}, {"hid", "ORBI00000001"}}));
        EXPECT_EQ(line, "unbind reg-s");
    }
    {
        CaptureServer server(409);
        WriteIni(1, server.Port());
        auto worker = MakeWorker();
        EXPECT_EQ(worker->UnbindDevice("erin", "X", "p"), 0);
        server.Sections();
        EXPECT_EQ(worker->LastStatusText(), "Dev already bind");
    }
}

TEST_F(Management, AnUnreachableRegisterServerFailsAndMovesTheRotation) {
    StartSim();
    int port = sim_->RegisterPort();
    sim_.reset();
    WriteIni(1, port);
    auto worker = MakeWorker();
    EXPECT_EQ(worker->RegisterUser("", "x", "y", ""), 0);
    EXPECT_EQ(worker->LastStatusText(), "");
    CXOMPPackageBuilder empty;
    EXPECT_EQ(worker->RegisterServerRequest(empty), 0);  // no message, no request
}

TEST_F(Management, AccountChangesReachTheServiceStore) {
    StartSim();
    auto worker = MakeWorker();
    EXPECT_EQ(worker->RegisterUser("c@example.org", "carol", "pw", "Caz"), 1);
    EXPECT_EQ(worker->RegisterUser("", "carol", "other", ""), 0);
    EXPECT_EQ(worker->LastStatusText(), "User exist");

    ASSERT_EQ(Login(*worker, "carol", "pw"), CXOMPWorker::kLoginAccepted);
    EXPECT_EQ(worker->ModifyUser("carol", "pw", "Caroline", "pw2"), 1);
    EXPECT_EQ(sim_->Store().User("carol")->nickname, "Caroline");
    // Later requests of the session use the new password.
    EXPECT_EQ(worker->BindDevice("", "FREE00000001", ""), 1);
    EXPECT_EQ(sim_->Store().Device("FREE00000001")->owner, "carol");
    EXPECT_EQ(worker->BindDevice("", "BOB000000001", ""), 0);
    EXPECT_EQ(worker->LastStatusText(), "Dev already bind");
    EXPECT_EQ(LanBindResultText(0, worker->LastStatusText()), "Sorry, device is bound!");
}

TEST_F(Management, BindAndRenameRefreshTheListsAndUnbindDropsTheDevice) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    ASSERT_EQ(sim_->Count("get all-dev"), 1);

    EXPECT_EQ(worker->BindDevice("", "FREE00000001", ""), 1);
    EXPECT_TRUE(Eventually([&] { return sim_->Count("get all-dev") == 2; }));
    EXPECT_TRUE(Eventually([&] {
        return worker->FindDevice(DeviceListKind::kMy, "FREE00000001", IdMatch::kExact).has_value();
    }));

    EXPECT_EQ(worker->ModifyDevice("CAM00000002", "Pear tree", 1), 1);
    EXPECT_EQ(sim_->Store().Device("CAM00000002")->name, "Pear tree");
    EXPECT_TRUE(Eventually([&] { return sim_->Count("get all-dev") == 3; }));
    // The refresh after the rename is over before the unbind: a reply of it
    // still on its way would create the unbound camera again.
    EXPECT_TRUE(Eventually([&] { return sim_->Count("get online-dev") == 3; }));
    EXPECT_TRUE(worker->WaitListsComplete(15000));

    EXPECT_EQ(worker->UnbindDevice("", "cam00000004", ""), 1);  // any letter case
    EXPECT_FALSE(worker->FindDevice(DeviceListKind::kMy, "CAM00000004", IdMatch::kExact));
    EXPECT_EQ(sim_->Store().Device("CAM00000004")->owner, "");
    EXPECT_TRUE(Eventually([&] { return sim_->Count("get online-dev") == 4; }));
}

TEST_F(Management, BindNeedsALoginButUnbindDoesNot) {
    StartSim();
    auto worker = MakeWorker();
    worker->StoreCredentials("alice", "secret");
    EXPECT_EQ(worker->BindDevice("", "FREE00000001", ""), 0);
    EXPECT_EQ(worker->BindDevice("alice", "FREE00000001", "secret"), 0);
    EXPECT_EQ(sim_->Count("bind reg-s"), 0);
    EXPECT_EQ(worker->UnbindDevice("", "CAM00000001", ""), 1);
    EXPECT_EQ(sim_->Count("unbind reg-s"), 1);
}

TEST_F(Management, BindBroadcastsTheAccountToACameraOnTheLan) {
    int listener = OpenDatagramListener(0);
    ASSERT_GE(listener, 0);
    StartSim();
    WriteIni(sim_->LoginPort(), sim_->RegisterPort(),
             "DeviceSetPort=" + std::to_string(LocalPort(listener)) + "\n");
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    std::string askedFor;
    worker->SetLanBlockLookup([&](std::string_view id, std::array<uint8_t, 1088>& block) {
        askedFor = std::string(id);
        std::memset(block.data(), 0x11, block.size());
        return true;
    });
    EXPECT_EQ(worker->BindDevice("", "FREE00000001", ""), 1);
    EXPECT_EQ(askedFor, "FREE00000001");

    std::array<uint8_t, 1088> block{};
    ASSERT_EQ(ReceiveExact(2000, listener, 1088, block.data(), true), 1088);
    int32_t code = 0;
    std::memcpy(&code, block.data(), 4);
    EXPECT_EQ(code, 135);
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 4), "VidxSetInfo");
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 836), "alice");
    for (int i = 5; i < 100; ++i) {
        EXPECT_EQ(block[836 + i], 0) << i;  // the whole field, terminated and cleared
    }
    EXPECT_EQ(block[836 + 100], 0x11);  // nothing past the account field changes

    EXPECT_EQ(worker->UnbindDevice("", "FREE00000001", ""), 1);
    ASSERT_EQ(ReceiveExact(2000, listener, 1088, block.data(), true), 1088);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(block[836 + i], 0) << i;
    }
    EXPECT_EQ(block[836 + 100], 0x11);

    // The session's name goes into the field: up to 99 bytes whole, a
    // longer one cut to 99 bytes, always terminated.
    for (size_t length : {48u, 99u, 100u, 120u}) {
        std::string name(length, 'n');
        worker->StoreCredentials(name, "secret");
        EXPECT_EQ(worker->BindDevice("alice", "FREE00000001", "secret"), 1) << length;
        ASSERT_EQ(ReceiveExact(2000, listener, 1088, block.data(), true), 1088);
        std::string sent(reinterpret_cast<const char*>(block.data() + 836),
                         strnlen(reinterpret_cast<const char*>(block.data() + 836), 100));
        EXPECT_EQ(sent, name.substr(0, 99)) << length;
        EXPECT_EQ(block[836 + 99], 0) << length;
        EXPECT_EQ(block[836 + 100], 0x11) << length;
        std::array<uint8_t, 1088> unbound{};
        EXPECT_EQ(worker->UnbindDevice("alice", "FREE00000001", "secret"), 1);
        ASSERT_EQ(ReceiveExact(2000, listener, 1088, unbound.data(), true), 1088);
    }
    worker->StoreCredentials("alice", "secret");  // the logout names the session's user
    CloseSocket(listener);
}

TEST_F(Management, TheServiceStoreIsWrittenBackToItsFile) {
    auto account = Account();
    account["store"] = "store.json";
    context_.configDir = folder_.Path();
    StartSim(account);
    auto worker = MakeWorker();
    EXPECT_EQ(worker->RegisterUser("", "frank", "pw", "Frank"), 1);
    sim_.reset();

    // A new service on the same file knows the account.
    StartSim(account);
    EXPECT_TRUE(sim_->Store().User("frank").has_value());
    EXPECT_EQ(sim_->Store().DevicesOf("alice").size(), 134u);  // generated ones kept once
}

}  // namespace
}  // namespace orbisight
