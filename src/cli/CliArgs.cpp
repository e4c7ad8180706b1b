#include "cli/CliArgs.h"

#include <cerrno>
#include <cstdlib>

namespace orbisight::cli {

bool IsDigits(const std::string& text, size_t count) {
    if (text.size() != count) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::optional<CliArgs> CliArgs::Parse(const std::vector<std::string>& words,
                                      const std::set<std::string>& flags, std::string& error) {
    CliArgs args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            std::string name = word.substr(2);
            std::string value;
            size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.resize(equals);
            } else if (flags.count(name) == 0) {
                if (i + 1 >= words.size()) {
                    error = "option --" + name + " needs a value";
                    return std::nullopt;
                }
                value = words[++i];
            }
            args.options_[name] = value;
        } else {
            args.positional_.push_back(word);
        }
    }
    return args;
}

std::string CliArgs::Get(const std::string& name, const std::string& fallback) const {
    auto it = options_.find(name);
    return it == options_.end() ? fallback : it->second;
}

std::optional<long> CliArgs::GetNumber(const std::string& name, long fallback) const {
    auto it = options_.find(name);
    if (it == options_.end()) {
        return fallback;
    }
    const std::string& text = it->second;
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> CliArgs::Unknown(const std::set<std::string>& known) const {
    std::vector<std::string> unknown;
    for (const auto& [name, value] : options_) {
        if (known.count(name) == 0) {
            unknown.push_back(name);
        }
    }
    return unknown;
}

}  // namespace orbisight::cli
