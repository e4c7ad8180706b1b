#include "account/CXOMPPackageBuilder.h"

#include <cstdio>

namespace orbisight {
namespace {

constexpr std::string_view kReplyVersion = "XOMP/1.0";

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool ValidName(std::string_view name) {
    return !name.empty() && name.size() <= CXOMPPackageBuilder::kMaxNameBytes &&
           name.find_first_of(std::string_view(":\r\n\0", 4)) == std::string_view::npos;
}

void AppendSection(std::string& header, std::string_view name, std::string_view value) {
    header += name;
    header += ':';
    header += std::to_string(value.size());
    header += ':';
    header += value;
    header += "\r\n";
}

}  // namespace

void CXOMPPackageBuilder::reset() {
    started_ = false;
    broken_ = false;
    built_ = false;
    hasBody_ = false;
    header_.clear();
    body_.clear();
    buffer_.clear();
}

bool CXOMPPackageBuilder::setHeader(std::string_view headerText, int flag) {
    reset();
    if (flag != 1 || headerText.empty() || HasLineBreak(headerText)) {
        return false;
    }
    header_.assign(headerText);
    header_ += "\r\n";
    started_ = true;
    return true;
}

bool CXOMPPackageBuilder::setStatus(int code, std::string_view description) {
    reset();
    if (code < 0 || code > 999 || HasLineBreak(description)) {
        return false;
    }
    header_ = std::string(kReplyVersion) + " " + std::to_string(code);
    if (!description.empty()) {
        header_ += " ";
        header_ += description;
    }
    header_ += "\r\n";
    started_ = true;
    return true;
}

bool CXOMPPackageBuilder::addSection(const char* name, int nameLength, const char* value,
                                     int valueLength) {
    if (name == nullptr || nameLength <= 0 || valueLength < 0 ||
        (value == nullptr && valueLength > 0)) {
        broken_ = true;
        return false;
    }
    return addSection(std::string_view(name, static_cast<size_t>(nameLength)),
                      std::string_view(value ? value : "", static_cast<size_t>(valueLength)));
}

bool CXOMPPackageBuilder::addSection(std::string_view name, std::string_view value) {
    built_ = false;
    if (!started_ || !ValidName(name)) {
        broken_ = true;
        return false;
    }
    // name + ':' + up to 10 digits + ':' + value + CRLF
    size_t grown = header_.size() + name.size() + value.size() + 14;
    if (grown > kMaxHeaderBytes) {
        broken_ = true;
        return false;
    }
    AppendSection(header_, name, value);
    return true;
}

bool CXOMPPackageBuilder::setBody(std::string_view body) {
    built_ = false;
    if (body.size() > kMaxBodyBytes) {
        broken_ = true;
        return false;
    }
    body_.assign(body);
    hasBody_ = !body.empty();
    return true;
}

void CXOMPPackageBuilder::Build() {
    built_ = true;
    buffer_.clear();
    if (!hasMessage()) {
        return;
    }
    std::string header = header_;
    if (hasBody_) {
        AppendSection(header, "content-length", std::to_string(body_.size()));
    }
    if (header.size() > kMaxHeaderBytes) {
        return;
    }
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%04x", static_cast<unsigned>(header.size()));
    buffer_.reserve(4 + header.size() + body_.size());
    buffer_.append(prefix, 4);
    buffer_ += header;
    if (hasBody_) {
        buffer_ += body_;
    }
}

const char* CXOMPPackageBuilder::getBuffer() {
    if (!built_) {
        Build();
    }
    return buffer_.data();
}

int CXOMPPackageBuilder::getDataLen() {
    if (!built_) {
        Build();
    }
    return static_cast<int>(buffer_.size());
}

}  // namespace orbisight
