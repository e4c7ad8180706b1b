#include "account/CXOMPPackageParser.h"

#include <climits>

#include "account/CXOMPPackageBuilder.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

constexpr std::string_view kReplyVersion = "XOMP/1.0";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain decimal number of at most 10 digits that fits an int.
bool ParseLength(std::string_view text, size_t& out) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    unsigned long long value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > INT_MAX) {
        return false;
    }
    out = static_cast<size_t>(value);
    return true;
}

}  // namespace

void CXOMPPackageParser::Clear() {
    data_.clear();
    isReply_ = false;
    statusCode_ = 0;
    description_ = {};
    command_ = {};
    resource_ = {};
    sections_.clear();
    next_ = 0;
}

bool CXOMPPackageParser::parse(const char* bytes, int length) {
    Clear();
    if (bytes == nullptr || length <= 0) {
        return false;
    }
    data_.assign(bytes, static_cast<size_t>(length));
    std::string_view all(data_);

    size_t lineEnd = all.find("\r\n");
    if (lineEnd == std::string_view::npos) {
        return false;
    }
    std::string_view line = all.substr(0, lineEnd);
    if (line.size() > kReplyVersion.size() &&
        line.substr(0, kReplyVersion.size()) == kReplyVersion &&
        line[kReplyVersion.size()] == ' ') {
        // "XOMP/1.0 <code> <description>"
        size_t p = kReplyVersion.size() + 1;
        size_t digits = p;
        while (digits < line.size() && IsDigit(line[digits]) && digits - p < 4) {
            ++digits;
        }
        if (digits == p || digits - p > 3 || (digits < line.size() && line[digits] != ' ')) {
            return false;
        }
        isReply_ = true;
        statusCode_ = ParseDecimal(line.substr(p, digits - p));
        if (digits < line.size()) {
            description_ = {digits + 1, line.size() - digits - 1};
        }
    } else {
        // "<command> <resource>"
        size_t blank = line.find(' ');
        command_ = {0, blank == std::string_view::npos ? line.size() : blank};
        if (blank != std::string_view::npos) {
            size_t end = line.find(' ', blank + 1);
            if (end == std::string_view::npos) {
                end = line.size();
            }
            resource_ = {blank + 1, end - blank - 1};
        }
    }

    size_t p = lineEnd + 2;
    while (p < all.size()) {
        size_t colon = all.find(':', p);
        if (colon == std::string_view::npos || colon == p ||
            colon - p > CXOMPPackageBuilder::kMaxNameBytes) {
            return false;
        }
        std::string_view name = all.substr(p, colon - p);
        if (name.find_first_of("\r\n") != std::string_view::npos) {
            return false;
        }
        size_t lengthEnd = all.find(':', colon + 1);
        size_t valueLength = 0;
        if (lengthEnd == std::string_view::npos ||
            !ParseLength(all.substr(colon + 1, lengthEnd - colon - 1), valueLength)) {
            return false;
        }
        size_t valueStart = lengthEnd + 1;
        if (valueLength > all.size() - valueStart || all.size() - valueStart - valueLength < 2 ||
            all.substr(valueStart + valueLength, 2) != "\r\n") {
            return false;
        }
        sections_.push_back({{p, colon - p}, {valueStart, valueLength}});
        p = valueStart + valueLength + 2;
    }
    return true;
}

void CXOMPPackageParser::getStatusDescription(const char*& text, int& length) const {
    text = data_.data() + description_.offset;
    length = static_cast<int>(description_.length);
}

void CXOMPPackageParser::getCommand(const char*& text, int& length) const {
    text = data_.data() + command_.offset;
    length = static_cast<int>(command_.length);
}

void CXOMPPackageParser::getResourceName(const char*& text, int& length) const {
    text = data_.data() + resource_.offset;
    length = static_cast<int>(resource_.length);
}

int CXOMPPackageParser::getSectionByName(std::string_view name, const char*& value,
                                         int& length) const {
    for (const auto& section : sections_) {
        if (View(section.name) == name) {
            value = data_.data() + section.value.offset;
            length = static_cast<int>(section.value.length);
            return 1;
        }
    }
    return 0;
}

std::string_view CXOMPPackageParser::section(std::string_view name, bool* found) const {
    const char* value = nullptr;
    int length = 0;
    bool present = getSectionByName(name, value, length) > 0;
    if (found != nullptr) {
        *found = present;
    }
    return present ? std::string_view(value, static_cast<size_t>(length)) : std::string_view();
}

int CXOMPPackageParser::getNextSection(const char*& name, int& nameLength, const char*& value,
                                       int& valueLength) {
    if (next_ >= sections_.size()) {
        return 0;
    }
    const Section& section = sections_[next_++];
    name = data_.data() + section.name.offset;
    nameLength = static_cast<int>(section.name.length);
    value = data_.data() + section.value.offset;
    valueLength = static_cast<int>(section.value.length);
    return 1;
}

int CXOMPPackageParser::getIntegerSectionWithDefault(std::string_view name,
                                                     int defaultValue) const {
    bool found = false;
    std::string_view value = section(name, &found);
    return found ? ParseDecimal(value) : defaultValue;
}

int CXOMPPackageParser::getContentLength(const char* header, int length) {
    CXOMPPackageParser parser;
    parser.parse(header, length);
    bool found = false;
    std::string_view value = parser.section("content-length", &found);
    size_t bytes = 0;
    if (!found || !ParseLength(value, bytes)) {
        return 0;
    }
    return static_cast<int>(bytes);
}

}  // namespace orbisight
