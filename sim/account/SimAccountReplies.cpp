#include "sim/account/SimAccountReplies.h"

#include <tinyxml2.h>

#include <optional>

#include "platform/Text.h"

namespace orbisight::sim {
namespace {

void Child(tinyxml2::XMLPrinter& printer, const char* name, const std::string& text) {
    printer.OpenElement(name, true);
    printer.PushText(text.c_str());
    printer.CloseElement(true);
}

}  // namespace

std::string DevInfoXml(const SimAccountStore& store, const std::string& owner,
                       const std::vector<SimListEntry>& entries, int* elements) {
    struct Element {
        std::optional<SimGroup> group;
        std::optional<SimDevice> device;
    };
    // Groups first, then devices, as a well-behaved server lists them.
    std::vector<Element> found;
    for (const auto& entry : entries) {
        if (entry.isGroup) {
            if (auto group = store.Group(owner, ParseDecimal(entry.id))) {
                found.push_back({group, std::nullopt});
            }
        }
    }
    for (const auto& entry : entries) {
        if (!entry.isGroup) {
            auto device = store.Device(entry.id);
            if (device && device->owner == owner) {
                found.push_back({std::nullopt, device});
            }
        }
    }
    tinyxml2::XMLPrinter printer(nullptr, true);
    printer.OpenElement("dev-info", true);
    printer.PushAttribute("count", static_cast<int>(found.size()));
    for (const auto& element : found) {
        if (element.group) {
            printer.OpenElement("group", true);
            printer.PushAttribute("id", element.group->id);
            printer.PushAttribute("name", element.group->name.c_str());
            printer.PushAttribute("parent", element.group->parent);
            printer.CloseElement(true);
            continue;
        }
        const SimDevice& device = *element.device;
        printer.OpenElement("dev", true);
        printer.PushAttribute("id", device.id.c_str());
        Child(printer, "name", device.name);
        Child(printer, "type", std::to_string(device.type));
        Child(printer, "hversion", device.hversion);
        Child(printer, "sversion", device.sversion);
        Child(printer, "group", std::to_string(device.group));
        Child(printer, "tips", device.tips);
        Child(printer, "url", device.url);
        Child(printer, "remark", "");
        Child(printer, "remark2", "");
        printer.CloseElement(true);
    }
    printer.CloseElement(true);
    if (elements != nullptr) {
        *elements = static_cast<int>(found.size());
    }
    return printer.CStr();
}

std::string DevStatusXml(const std::vector<SimDevice>& devices) {
    tinyxml2::XMLPrinter printer(nullptr, true);
    printer.OpenElement("dev-status", true);
    printer.PushAttribute("count", static_cast<int>(devices.size()));
    for (const auto& device : devices) {
        printer.OpenElement("dev", true);
        printer.PushAttribute("id", device.id.c_str());
        printer.PushAttribute("status", device.status);
        printer.PushAttribute("url", device.url.c_str());
        printer.CloseElement(true);
    }
    printer.CloseElement(true);
    return printer.CStr();
}

std::string UserInfoXml(const SimUser& user) {
    tinyxml2::XMLPrinter printer(nullptr, true);
    printer.OpenElement("usr-info", true);
    printer.PushAttribute("count", 1);
    printer.OpenElement("user", true);
    printer.PushAttribute("usrname", user.name.c_str());
    Child(printer, "name", user.nickname);
    Child(printer, "type", std::to_string(user.type));
    printer.CloseElement(true);
    printer.CloseElement(true);
    return printer.CStr();
}

}  // namespace orbisight::sim
