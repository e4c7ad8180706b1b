#include "sim/account/SimAccountStore.h"

#include <cstdio>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/Text.h"

namespace orbisight::sim {
namespace {

using nlohmann::json;

std::string Text(const json& object, const char* key, const std::string& fallback = {}) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return fallback;
    }
    if (!it->is_string()) {
        throw std::runtime_error(std::string("account: \"") + key +
                                 "\" must be text: " + object.dump());
    }
    return it->get<std::string>();
}

int Number(const json& object, const char* key, int fallback) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return fallback;
    }
    if (!it->is_number_integer()) {
        throw std::runtime_error(std::string("account: \"") + key +
                                 "\" must be a number: " + object.dump());
    }
    return it->get<int>();
}

const json& Array(const json& account, const char* key) {
    static const json empty = json::array();
    auto it = account.find(key);
    if (it == account.end()) {
        return empty;
    }
    if (!it->is_array()) {
        throw std::runtime_error(std::string("account: \"") + key + "\" is not an array");
    }
    return *it;
}

}  // namespace

void SimAccountStore::Load(const json& account, const std::map<std::string, int>& cameraPorts) {
    std::lock_guard lock(mutex_);
    users_.clear();
    groups_.clear();
    devices_.clear();
    for (const auto& u : Array(account, "users")) {
        SimUser user;
        user.name = Text(u, "name");
        user.password = Text(u, "password");
        user.nickname = Text(u, "nickname");
        user.email = Text(u, "email");
        user.type = Number(u, "type", 1);
        if (user.name.empty()) {
            throw std::runtime_error("account: a user without \"name\"");
        }
        users_.push_back(user);
    }
    for (const auto& g : Array(account, "groups")) {
        SimGroup group;
        group.id = Number(g, "id", 0);
        group.name = Text(g, "name");
        group.parent = Number(g, "parent", 0);
        group.owner = Text(g, "owner");
        if (group.id <= 0) {
            throw std::runtime_error("account: a group needs an \"id\" above 0: " + g.dump());
        }
        groups_.push_back(group);
    }
    auto addDevice = [&](const json& d) {
        SimDevice device;
        device.id = Text(d, "id");
        if (device.id.empty()) {
            throw std::runtime_error("account: a device without \"id\": " + d.dump());
        }
        device.name = Text(d, "name");
        device.owner = Text(d, "owner");
        device.group = Number(d, "group", 0);
        device.type = Number(d, "type", 1);
        device.tips = Text(d, "tips");
        device.hversion = Text(d, "hversion", device.hversion);
        device.sversion = Text(d, "sversion", device.sversion);
        device.url = Text(d, "url");
        device.camera = d.value("camera", false);
        device.cloud = Text(d, "cloud");
        device.status = Number(d, "status", 0);
        if (device.camera) {
            // The address of the simulated camera as it actually listens.
            if (auto port = cameraPorts.find(device.id); port != cameraPorts.end()) {
                device.url = "ssp://127.0.0.1:" + std::to_string(port->second);
                device.status = Number(d, "status", 2);
            }
            if (!device.cloud.empty()) {
                device.url += (device.url.empty() ? "" : ";") + device.cloud;
            }
        }
        // A peer-to-peer identifier: "tutkid://" beside the direct address,
        // or alone with "tutkid_only".
        if (std::string peer = Text(d, "tutkid"); !peer.empty()) {
            bool only = d.value("tutkid_only", false) || device.url.empty();
            device.url = only ? "tutkid://" + peer : device.url + ";tutkid://" + peer;
        }
        devices_.push_back(device);
    };
    for (const auto& d : Array(account, "devices")) {
        addDevice(d);
    }
    // Fictitious off-line cameras, enough to make the lists page.
    if (auto generated = account.find("generated_devices"); generated != account.end()) {
        int count = Number(*generated, "count", 0);
        int first = Number(*generated, "first", 1);
        std::string prefix = Text(*generated, "prefix", "SIMX");
        for (int i = 0; i < count; ++i) {
            char id[64];
            std::snprintf(id, sizeof id, "%s%08d", prefix.c_str(), first + i);
            json d = {{"id", id},
                      {"name", "Cottage camera " + std::to_string(first + i)},
                      {"owner", Text(*generated, "owner")},
                      {"group", Number(*generated, "group", 0)},
                      {"type", 1}};
            addDevice(d);
        }
    }
}

json SimAccountStore::ToJson() const {
    std::lock_guard lock(mutex_);
    json users = json::array();
    for (const auto& u : users_) {
        users.push_back({{"name", u.name},
                         {"password", u.password},
                         {"nickname", u.nickname},
                         {"email", u.email},
                         {"type", u.type}});
    }
    json groups = json::array();
    for (const auto& g : groups_) {
        groups.push_back(
            {{"id", g.id}, {"name", g.name}, {"parent", g.parent}, {"owner", g.owner}});
    }
    json devices = json::array();
    for (const auto& d : devices_) {
        json device = {
            {"id", d.id},     {"name", d.name}, {"owner", d.owner},       {"group", d.group},
            {"type", d.type}, {"tips", d.tips}, {"hversion", d.hversion}, {"sversion", d.sversion}};
        if (d.camera) {
            device["camera"] = true;
            if (!d.cloud.empty()) {
                device["cloud"] = d.cloud;
            }
        } else {
            device["url"] = d.url;
            device["status"] = d.status;
        }
        devices.push_back(device);
    }
    return {{"users", users}, {"groups", groups}, {"devices", devices}};
}

void SimAccountStore::SaveLocked() {
    ++version_;
    if (storeFile_.empty()) {
        return;
    }
    // ToJson locks: build the image from copies instead.
    SimAccountStore copy;
    copy.users_ = users_;
    copy.groups_ = groups_;
    copy.devices_ = devices_;
    std::string text = copy.ToJson().dump(2) + "\n";
    std::string error;
    if (!WriteFileAtomically(storeFile_, text.data(), text.size(), 0600, &error)) {
        std::fprintf(stderr, "orbisight-sim: account store not saved: %s\n", error.c_str());
    }
}

SimOutcome SimAccountStore::Authenticate(const std::string& user,
                                         const std::string& password) const {
    for (const auto& u : users_) {
        if (u.name == user) {
            return u.password == password ? SimOutcome{} : SimOutcome{401, "Password error"};
        }
    }
    return {401, "No such user"};
}

SimOutcome SimAccountStore::CheckLogin(const std::string& user, const std::string& password) const {
    std::lock_guard lock(mutex_);
    return Authenticate(user, password);
}

std::optional<SimUser> SimAccountStore::User(const std::string& name) const {
    std::lock_guard lock(mutex_);
    for (const auto& u : users_) {
        if (u.name == name) {
            return u;
        }
    }
    return std::nullopt;
}

std::vector<SimListEntry> SimAccountStore::Entries(const std::string& owner, int group) const {
    std::lock_guard lock(mutex_);
    std::vector<SimListEntry> entries;
    for (const auto& g : groups_) {
        if (g.owner == owner && (group == 0 || g.parent == group)) {
            entries.push_back({true, std::to_string(g.id)});
        }
    }
    for (const auto& d : devices_) {
        if (!owner.empty() && d.owner == owner && (group == 0 || d.group == group)) {
            entries.push_back({false, d.id});
        }
    }
    return entries;
}

std::optional<SimGroup> SimAccountStore::Group(const std::string& owner, int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& g : groups_) {
        if (g.owner == owner && g.id == id) {
            return g;
        }
    }
    return std::nullopt;
}

std::optional<SimDevice> SimAccountStore::Device(const std::string& id) const {
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) {
        if (d.id == id) {
            return d;
        }
    }
    return std::nullopt;
}

std::vector<SimDevice> SimAccountStore::DevicesOf(const std::string& owner) const {
    std::lock_guard lock(mutex_);
    std::vector<SimDevice> devices;
    for (const auto& d : devices_) {
        if (!owner.empty() && d.owner == owner) {
            devices.push_back(d);
        }
    }
    return devices;
}

std::vector<std::string> SimAccountStore::AllDeviceIds() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> ids;
    for (const auto& d : devices_) {
        ids.push_back(d.id);
    }
    return ids;
}

int SimAccountStore::Version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

SimDevice* SimAccountStore::FindDevice(const std::string& id) {
    for (auto& d : devices_) {
        if (EqualsNoCase(d.id, id)) {
            return &d;
        }
    }
    return nullptr;
}

SimOutcome SimAccountStore::Register(const std::string& user, const std::string& password,
                                     const std::string& nickname, const std::string& email) {
    std::lock_guard lock(mutex_);
    if (user.empty() || password.empty()) {
        return {400, "User name and password required"};
    }
    for (const auto& u : users_) {
        if (EqualsNoCase(u.name, user)) {
            return {409, "User exist"};
        }
    }
    users_.push_back({user, password, nickname, email, 1});
    SaveLocked();
    return {};
}

SimOutcome SimAccountStore::ChangeAs(const std::string& user, const std::string& password,
                                     const std::function<SimOutcome()>& change) {
    std::lock_guard lock(mutex_);
    SimOutcome outcome = Authenticate(user, password);
    if (outcome.code != 200) {
        return outcome;
    }
    outcome = change();
    if (outcome.code == 200) {
        SaveLocked();
    }
    return outcome;
}

SimOutcome SimAccountStore::ModifyUser(const std::string& user, const std::string& password,
                                       const std::optional<std::string>& nickname,
                                       const std::optional<std::string>& newPassword) {
    return ChangeAs(user, password, [&]() -> SimOutcome {
        for (auto& u : users_) {
            if (u.name == user) {
                if (nickname) {
                    u.nickname = *nickname;
                }
                if (newPassword) {
                    u.password = *newPassword;
                }
            }
        }
        return {};
    });
}

SimOutcome SimAccountStore::ModifyDevice(const std::string& user, const std::string& password,
                                         const std::string& id, const std::string& name, int type) {
    return ChangeAs(user, password, [&]() -> SimOutcome {
        SimDevice* device = FindDevice(id);
        if (device == nullptr || device->owner != user) {
            return {404, "No such device"};
        }
        device->name = name;
        device->type = type;
        return {};
    });
}

SimOutcome SimAccountStore::Bind(const std::string& user, const std::string& password,
                                 const std::string& id) {
    return ChangeAs(user, password, [&]() -> SimOutcome {
        SimDevice* device = FindDevice(id);
        if (device == nullptr) {
            // A camera the service has not met yet: it joins on binding.
            devices_.push_back(SimDevice{});
            device = &devices_.back();
            device->id = id;
        } else if (!device->owner.empty()) {
            return {409, "Dev already bind"};
        }
        device->owner = user;
        device->group = 0;
        return {};
    });
}

SimOutcome SimAccountStore::Unbind(const std::string& user, const std::string& password,
                                   const std::string& id) {
    return ChangeAs(user, password, [&]() -> SimOutcome {
        SimDevice* device = FindDevice(id);
        if (device == nullptr || device->owner != user) {
            return {403, "Dev not bound to this user"};
        }
        device->owner.clear();
        return {};
    });
}

std::string SimAccountStore::SetStatus(const std::string& id, int status) {
    std::lock_guard lock(mutex_);
    SimDevice* device = FindDevice(id);
    if (device == nullptr) {
        return {};
    }
    device->status = status;
    return device->owner;
}

}  // namespace orbisight::sim
