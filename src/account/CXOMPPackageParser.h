#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orbisight {

// Reads one account-service header (the bytes after the 4-digit length
// prefix; see CXOMPPackageBuilder and docs/account-protocol.md). The parser
// keeps its own copy: the pointers it hands out stay valid until the next
// parse(). Every length is checked; a malformed header yields what was read
// before the fault and parse() returns false.
class CXOMPPackageParser {
  public:
    // Decodes a header. Returns false when it is malformed.
    bool parse(const char* bytes, int length);
    bool parse(std::string_view header) {
        return parse(header.data(), static_cast<int>(header.size()));
    }

    // The reply's status code, or 0 for a request or notification.
    int getStatusCode() const { return statusCode_; }
    bool isReply() const { return isReply_; }
    // Pointer into the parsed data and byte length, not terminated.
    void getStatusDescription(const char*& text, int& length) const;
    void getCommand(const char*& text, int& length) const;
    void getResourceName(const char*& text, int& length) const;
    std::string_view statusDescription() const { return View(description_); }
    std::string_view command() const { return View(command_); }
    std::string_view resourceName() const { return View(resource_); }

    // Above 0 when the section exists (the first of that name, exact
    // comparison); value and length then describe it.
    int getSectionByName(std::string_view name, const char*& value, int& length) const;
    // The value of the first section of that name, or nullptr-free empty
    // view with found = false.
    std::string_view section(std::string_view name, bool* found = nullptr) const;
    // Walks all sections in order, from the first after each parse();
    // nonzero while one was delivered.
    int getNextSection(const char*& name, int& nameLength, const char*& value, int& valueLength);
    void rewindSections() { next_ = 0; }
    size_t sectionCount() const { return sections_.size(); }
    // Name and value of section `index` (below sectionCount()), without
    // moving the walk of getNextSection().
    std::pair<std::string_view, std::string_view> sectionAt(size_t index) const {
        const Section& section = sections_[index];
        return {std::string_view(data_).substr(section.name.offset, section.name.length),
                std::string_view(data_).substr(section.value.offset, section.value.length)};
    }
    // The leading decimal number of the value ("2 [7]" gives 2), or the
    // default when the section is absent.
    int getIntegerSectionWithDefault(std::string_view name, int defaultValue) const;

    // The body length announced by a header ("content-length"); 0 or less
    // when there is none or it is not a plain decimal number.
    static int getContentLength(const char* header, int length);

  private:
    struct Span {
        size_t offset = 0;
        size_t length = 0;
    };
    struct Section {
        Span name;
        Span value;
    };
    std::string_view View(Span span) const {
        return std::string_view(data_).substr(span.offset, span.length);
    }
    void Clear();

    std::string data_;
    bool isReply_ = false;
    int statusCode_ = 0;
    Span description_;
    Span command_;
    Span resource_;
    std::vector<Section> sections_;
    size_t next_ = 0;
};

}  // namespace orbisight
