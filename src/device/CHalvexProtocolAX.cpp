#include "device/CHalvexProtocolAX.h"

#include <cstdio>
#include <cstring>

#include "platform/Socket.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::unique_ptr<char[]> OwnedCopy(const void* bytes, size_t length) {
    auto copy = std::make_unique_for_overwrite<char[]>(length + 1);
    if (length > 0) {
        std::memcpy(copy.get(), bytes, length);
    }
    copy[length] = '\0';
    return copy;
}

}  // namespace

bool ParseHexDigits(const uint8_t* text, int width, int& out) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        int digit = HexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + digit;
    }
    out = value;
    return true;
}

void CHalvexProtocolAX::Reset() {
    fields_.clear();
    output_.clear();
    output_.shrink_to_fit();
    version_ = kDefaultVersion;
    type_ = msgtype::kCommand;
    totalLength_ = kHeaderSize;
    writePosition_ = 0;
    parsedBodyLength_ = 0;
}

bool CHalvexProtocolAX::AddField(const char* name, const void* value, int nameLength,
                                 int valueLength) {
    if (name == nullptr || value == nullptr || nameLength < 0 || valueLength < 0) {
        return false;
    }
    if (nameLength == 0) {
        nameLength = static_cast<int>(std::strlen(name));
    }
    if (valueLength == 0) {
        valueLength = static_cast<int>(std::strlen(static_cast<const char*>(value)));
    }
    // The wire gives a name two hex digits and a value six.
    if (nameLength > 0xFF || valueLength > 0xFFFFFF) {
        return false;
    }
    if (FindField(std::string_view(name, static_cast<size_t>(nameLength))) != nullptr) {
        return false;
    }
    auto field = std::make_unique<Field>();
    field->nameLength = nameLength;
    field->valueLength = valueLength;
    field->name = OwnedCopy(name, static_cast<size_t>(nameLength));
    field->value = OwnedCopy(value, static_cast<size_t>(valueLength));
    fields_.push_back(std::move(field));
    totalLength_ += 8 + nameLength + valueLength;
    return true;
}

bool CHalvexProtocolAX::AddNumberField(const char* name, int number, int width) {
    if (width < 0) {
        width = 0;
    }
    if (width > 63) {
        width = 63;
    }
    char text[65];
    std::snprintf(text, sizeof text, "%0*d", width, number);
    return AddField(name, text, 0, 0);
}

const Field* CHalvexProtocolAX::FindField(std::string_view name) const {
    for (const auto& field : fields_) {
        if (EqualsNoCase(field->Name(), name)) {
            return field.get();
        }
    }
    return nullptr;
}

const char* CHalvexProtocolAX::FindText(std::string_view name) const {
    const Field* field = FindField(name);
    return field ? field->Text() : nullptr;
}

void CHalvexProtocolAX::Append(const char* bytes, size_t length) {
    std::memcpy(output_.data() + writePosition_, bytes, length);
    writePosition_ += static_cast<int>(length);
}

const uint8_t* CHalvexProtocolAX::Serialize() {
    // Room for the whole message plus 200 bytes, zero-filled; serialising
    // again (after more fields were added) starts over.
    size_t needed = static_cast<size_t>(totalLength_) + 200;
    if (output_.size() < needed) {
        output_.assign(needed, 0);
    }
    writePosition_ = 0;
    char text[16];
    std::snprintf(text, sizeof text, "%04X%04X", version_ & 0xFFFF, type_ & 0xFFFF);
    Append(text, 8);
    Append("000000", 6);
    for (const auto& field : fields_) {
        std::snprintf(text, sizeof text, "%02X%06X", field->nameLength, field->valueLength);
        Append(text, 8);
        Append(field->name.get(), static_cast<size_t>(field->nameLength));
        Append(field->value.get(), static_cast<size_t>(field->valueLength));
    }
    if (!fields_.empty()) {
        std::snprintf(text, sizeof text, "%06X", (writePosition_ - kHeaderSize) & 0xFFFFFF);
        std::memcpy(output_.data() + 8, text, 6);
    }
    return output_.data();
}

void CHalvexProtocolAX::Parse(const uint8_t* bytes, size_t available) {
    Reset();
    if (bytes == nullptr || available < static_cast<size_t>(kHeaderSize)) {
        return;
    }
    int value = 0;
    if (ParseHexDigits(bytes, 4, value)) {
        version_ = value;
    }
    if (ParseHexDigits(bytes + 4, 4, value)) {
        type_ = value;
    }
    int bodyLength = 0;
    if (ParseHexDigits(bytes + 8, 6, value)) {
        bodyLength = value;
    }
    parsedBodyLength_ = bodyLength;
    if (bodyLength > kMaxParsedBody) {
        return;
    }
    // Never read past what the caller holds, whatever the header claims.
    size_t limit = static_cast<size_t>(bodyLength);
    if (limit > available - kHeaderSize) {
        limit = available - kHeaderSize;
    }
    const uint8_t* body = bytes + kHeaderSize;
    size_t offset = 0;
    while (offset < limit) {
        if (offset + 8 > limit) {
            break;
        }
        int n = 0;
        int v = 0;
        if (!ParseHexDigits(body + offset, 2, n) || !ParseHexDigits(body + offset + 2, 6, v)) {
            break;
        }
        size_t end = offset + 8 + static_cast<size_t>(n) + static_cast<size_t>(v);
        if (static_cast<size_t>(n) > limit || static_cast<size_t>(v) > limit || end > limit) {
            break;
        }
        const char* name = reinterpret_cast<const char*>(body + offset + 8);
        const uint8_t* valueBytes = body + offset + 8 + n;
        if (FindField(std::string_view(name, static_cast<size_t>(n))) == nullptr) {
            auto field = std::make_unique<Field>();
            field->nameLength = n;
            field->valueLength = v;
            field->name = OwnedCopy(name, static_cast<size_t>(n));
            field->value = OwnedCopy(valueBytes, static_cast<size_t>(v));
            fields_.push_back(std::move(field));
            totalLength_ += 8 + n + v;
        }
        offset = end;
    }
}

ReceiveResult ReceiveMessage(int socket, int headerTimeoutMs, int bodyTimeoutMs, int maxBody,
                             uint8_t* buffer, size_t capacity, CHalvexProtocolAX& message) {
    message.Reset();
    if (socket < 0 || buffer == nullptr || capacity < CHalvexProtocolAX::kHeaderSize + 1u) {
        return ReceiveResult::kShortRead;
    }
    if (ReceiveExact(headerTimeoutMs, socket, CHalvexProtocolAX::kHeaderSize, buffer) !=
        CHalvexProtocolAX::kHeaderSize) {
        return ReceiveResult::kShortRead;
    }
    int bodyLength = 0;
    if (!ParseHexDigits(buffer + 8, 6, bodyLength)) {
        return ReceiveResult::kMalformed;
    }
    if (bodyLength > maxBody ||
        static_cast<size_t>(bodyLength) + CHalvexProtocolAX::kHeaderSize + 1 > capacity) {
        return ReceiveResult::kTooLong;
    }
    if (bodyLength > 0 && ReceiveExact(bodyTimeoutMs, socket, bodyLength,
                                       buffer + CHalvexProtocolAX::kHeaderSize) != bodyLength) {
        return ReceiveResult::kShortRead;
    }
    size_t total = static_cast<size_t>(bodyLength) + CHalvexProtocolAX::kHeaderSize;
    buffer[total] = '\0';
    message.Parse(buffer, total);
    return ReceiveResult::kOk;
}

int SendMessage(int socket, CHalvexProtocolAX& message, int timeoutMs) {
    if (socket < 0) {
        return 0;
    }
    const uint8_t* bytes = message.Serialize();
    return SendAll(timeoutMs, message.TotalLength(), socket, bytes);
}

}  // namespace orbisight
