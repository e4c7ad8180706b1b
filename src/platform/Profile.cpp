#include "platform/Profile.h"

#include <fstream>
#include <iterator>

#include "platform/Files.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

// "[name]" -> name, else nullopt.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') {
        return std::nullopt;
    }
    size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

// "key=value" -> key and value, trimmed; comment lines give nothing.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return false;
    }
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\''))) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

Profile Profile::InMemory(std::string text) {
    Profile profile{std::filesystem::path()};
    profile.memory_ = std::make_shared<std::string>(std::move(text));
    return profile;
}

std::vector<std::string> Profile::ReadLines() const {
    std::string text;
    if (memory_) {
        text = *memory_;
    } else {
        std::ifstream in(file_, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Lines end at "\n" (a "\r" before it is dropped); a last line without
    // one still counts.
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') {
            --stop;
        }
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

bool Profile::WriteLines(const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    if (memory_) {
        *memory_ = std::move(text);
        return true;
    }
    return WriteFileAtomically(file_, text.data(), text.size(), 0644);
}

std::optional<std::string> Profile::Find(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (const auto& line : ReadLines()) {
        if (auto name = SectionName(line)) {
            inSection = EqualsNoCase(*name, section);
            continue;
        }
        std::string_view k, v;
        if (inSection && SplitEntry(line, k, v) && EqualsNoCase(k, key)) {
            return Unquote(v);
        }
    }
    return std::nullopt;
}

std::string Profile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    auto value = Find(section, key);
    return value ? *value : std::string(Trim(defaultValue));
}

size_t Profile::GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, char* buffer, size_t size) const {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::string value = GetString(section, key, defaultValue);
    size_t length = Utf8PrefixLength(value, size - 1);
    value.copy(buffer, length);
    buffer[length] = '\0';
    return length;
}

int Profile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    auto value = Find(section, key);
    return value ? ParseDecimal(*value) : defaultValue;
}

bool Profile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    std::vector<std::string> lines = ReadLines();
    bool inSection = false;
    long sectionEnd = -1;  // index after the last line of the matching section
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i])) {
            inSection = EqualsNoCase(*name, section);
            if (inSection) {
                sectionEnd = static_cast<long>(i) + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        std::string_view k, v;
        if (SplitEntry(lines[i], k, v) && EqualsNoCase(k, key)) {
            lines[i] = std::string(k) + "=" + value;
            return WriteLines(lines);
        }
        if (!Trim(lines[i]).empty()) {
            sectionEnd = static_cast<long>(i) + 1;
        }
    }
    if (sectionEnd < 0) {
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    } else {
        lines.insert(lines.begin() + sectionEnd, key + "=" + value);
    }
    return WriteLines(lines);
}

bool Profile::DeleteKey(const std::string& section, const std::string& key) {
    std::vector<std::string> lines = ReadLines();
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i])) {
            inSection = EqualsNoCase(*name, section);
            continue;
        }
        std::string_view k, v;
        if (inSection && SplitEntry(lines[i], k, v) && EqualsNoCase(k, key)) {
            lines.erase(lines.begin() + static_cast<long>(i));
            return WriteLines(lines);
        }
    }
    return true;
}

bool Profile::DeleteSection(const std::string& section) {
    std::vector<std::string> kept;
    bool inSection = false;
    bool changed = false;
    for (const auto& line : ReadLines()) {
        if (auto name = SectionName(line)) {
            inSection = EqualsNoCase(*name, section);
        }
        if (inSection) {
            changed = true;
        } else {
            kept.push_back(line);
        }
    }
    return !changed || WriteLines(kept);
}

}  // namespace orbisight
