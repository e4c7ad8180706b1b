#include "sim/camera/SimMessageCheck.h"

#include <string_view>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "platform/Text.h"

namespace orbisight::sim {
namespace {

bool IsUpperHex(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool UpperHexDigits(const uint8_t* text, int width, int& value) {
    value = 0;
    for (int i = 0; i < width; ++i) {
        if (!IsUpperHex(text[i])) {
            return false;
        }
        value = value * 16 + (text[i] <= '9' ? text[i] - '0' : text[i] - 'A' + 10);
    }
    return true;
}

bool IsDecimal(std::string_view text, bool allowSign) {
    if (text.empty()) {
        return false;
    }
    size_t i = 0;
    if (allowSign && text[0] == '-') {
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

std::string Printable(const uint8_t* bytes, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        char c = static_cast<char>(bytes[i]);
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return out;
}

class Requirements {
  public:
    Requirements(const CHalvexProtocolAX& message, std::vector<std::string>& violations,
                 std::string context)
        : message_(message), violations_(violations), context_(std::move(context)) {}

    const Field* Need(std::string_view name) {
        const Field* field = message_.FindField(name);
        if (field == nullptr) {
            violations_.push_back(context_ + ": missing field \"" + std::string(name) + "\"");
        }
        return field;
    }
    void NeedDecimal(std::string_view name, bool allowSign = false) {
        if (const Field* field = Need(name); field && !IsDecimal(field->Value(), allowSign)) {
            Bad(name, "is not a decimal number");
        }
    }
    void NeedText(std::string_view name, std::string_view expected) {
        if (const Field* field = Need(name); field && field->Value() != expected) {
            Bad(name, "is not \"" + std::string(expected) + "\"");
        }
    }
    void NeedDigits(std::string_view name, size_t count, bool optional = false) {
        const Field* field = message_.FindField(name);
        if (field == nullptr) {
            if (!optional) {
                Need(name);
            }
            return;
        }
        if (field->Value().size() != count || !IsDecimal(field->Value(), false)) {
            Bad(name, "is not " + std::to_string(count) + " digits");
        }
    }
    void NeedSize(std::string_view name, int size) {
        if (const Field* field = Need(name); field && field->valueLength != size) {
            Bad(name, "holds " + std::to_string(field->valueLength) + " bytes instead of " +
                          std::to_string(size));
        }
    }

  private:
    void Bad(std::string_view name, const std::string& what) {
        violations_.push_back(context_ + ": field \"" + std::string(name) + "\" " + what);
    }

    const CHalvexProtocolAX& message_;
    std::vector<std::string>& violations_;
    std::string context_;
};

}  // namespace

bool SimMessageCheck::CheckHeader(const uint8_t* header, int& bodyLength,
                                  std::vector<std::string>& violations) {
    if (std::string_view(reinterpret_cast<const char*>(header), 4) != "0100") {
        violations.push_back("header: version \"" + Printable(header, 4) + "\" is not \"0100\"");
    }
    int type = 0;
    if (!UpperHexDigits(header + 4, 4, type)) {
        violations.push_back("header: type \"" + Printable(header + 4, 4) +
                             "\" is not upper-case hexadecimal");
    }
    if (UpperHexDigits(header + 8, 6, bodyLength)) {
        return true;
    }
    violations.push_back("header: body length \"" + Printable(header + 8, 6) +
                         "\" is not upper-case hexadecimal");
    // A lower-case length can still be read (the client's reader accepts
    // it); anything else leaves the stream without a frame.
    return ParseHexDigits(header + 8, 6, bodyLength);
}

void SimMessageCheck::CheckBody(const uint8_t* body, size_t length,
                                std::vector<std::string>& violations) {
    std::vector<std::string_view> names;
    size_t offset = 0;
    while (offset < length) {
        if (length - offset < 8) {
            violations.push_back("body: " + std::to_string(length - offset) +
                                 " stray bytes after the last field");
            return;
        }
        int n = 0;
        int v = 0;
        if (!UpperHexDigits(body + offset, 2, n) || !UpperHexDigits(body + offset + 2, 6, v)) {
            violations.push_back("body: field header \"" + Printable(body + offset, 8) +
                                 "\" at offset " + std::to_string(offset) +
                                 " is not upper-case hexadecimal");
            // Lower-case digits still frame the field; go on to find more.
            if (!ParseHexDigits(body + offset, 2, n) || !ParseHexDigits(body + offset + 2, 6, v)) {
                return;
            }
        }
        size_t end = offset + 8 + static_cast<size_t>(n) + static_cast<size_t>(v);
        if (end > length) {
            violations.push_back("body: field at offset " + std::to_string(offset) +
                                 " runs past the body length " + std::to_string(length));
            return;
        }
        std::string_view name(reinterpret_cast<const char*>(body + offset + 8),
                              static_cast<size_t>(n));
        if (name.empty()) {
            violations.push_back("body: field with an empty name at offset " +
                                 std::to_string(offset));
        }
        for (std::string_view seen : names) {
            if (EqualsNoCase(seen, name)) {
                violations.push_back("body: field \"" + std::string(name) + "\" appears twice");
                break;
            }
        }
        names.push_back(name);
        offset = end;
    }
}

void SimMessageCheck::CheckCommand(const CHalvexProtocolAX& message,
                                   std::vector<std::string>& violations) {
    switch (message.Type()) {
        case msgtype::kLogin: {
            Requirements need(message, violations, "login");
            need.Need("UserName");
            need.Need("Password");
            need.Need("DeviceSerial");
            const char* order[] = {"UserName", "Password", "DeviceSerial"};
            size_t next = 0;
            for (const auto& field : message.Fields()) {
                if (next < 3 && EqualsNoCase(field->Name(), order[next])) {
                    ++next;
                }
            }
            if (next < 3 && message.FindField("UserName") && message.FindField("Password") &&
                message.FindField("DeviceSerial")) {
                violations.push_back(
                    "login: fields are not in the order UserName, Password, DeviceSerial");
            }
            return;
        }
        case msgtype::kKeepAlive:
            if (!message.Fields().empty()) {
                violations.push_back("keep-alive: carries fields");
            }
            return;
        case msgtype::kCommand:
            return;  // stream commands: the media side checks them
        case msgtype::kRequest:
            break;
        default:
            violations.push_back("unexpected message type " + std::to_string(message.Type()) +
                                 " from a client");
            return;
    }

    Requirements need(message, violations, "request");
    const Field* code = need.Need("Command_Param");
    if (code == nullptr) {
        return;
    }
    if (!IsDecimal(code->Value(), false)) {
        violations.push_back("request: \"Command_Param\" \"" + std::string(code->Value()) +
                             "\" is not a decimal number");
        return;
    }
    int command = ParseDecimal(code->Value());
    Requirements cmd(message, violations, "request " + std::to_string(command));
    switch (command) {
        case 3300:
        case 3304:
        case 3400:
            cmd.NeedText("Wait", "1");
            break;
        case 3302:
            cmd.NeedSize("DevInfo", static_cast<int>(sizeof(DevInfoBlock)));
            break;
        case 3306:
            cmd.NeedSize("DevInfo", static_cast<int>(sizeof(DevInfoExt)));
            break;
        case 3402:
            cmd.Need("RfidInfo");
            break;
        case 3100: {
            cmd.NeedText("Wait", "1");
            cmd.NeedDecimal("Type");
            int type = ParseDecimal(message.FindText("Type") ? message.FindText("Type") : "");
            if (type == 2) {
                cmd.NeedDigits("DirName", 8);
                cmd.NeedDigits("TimeStart", 6, true);
                cmd.NeedDigits("TimeEnd", 6, true);
            } else if (type == 3) {
                cmd.Need("FileName");
                cmd.NeedDecimal("nStartPos", true);
                cmd.NeedDecimal("nOffSet", true);
            } else if (type == 7) {
                cmd.Need("DataHourDirName");
            } else if (type != 1) {
                violations.push_back("request 3100: unknown \"Type\" " + std::to_string(type));
            }
            break;
        }
        default:
            break;  // live controls: the media side knows them
    }
}

}  // namespace orbisight::sim
