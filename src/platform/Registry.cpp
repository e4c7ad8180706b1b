#include "platform/Registry.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "platform/Files.h"

namespace orbisight {
namespace fs = std::filesystem;

namespace {

// File names for value and key names: letters, digits, '.', '-', '_' and
// spaces stay; everything else becomes %XX. The unnamed value is "%".
std::string EscapeName(const std::string& name) {
    if (name.empty()) {
        return "%";
    }
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == ' ' || (c == '.' && !out.empty());
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string UnescapeName(const std::string& file) {
    if (file == "%") {
        return {};
    }
    std::string out;
    for (size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '%' && i + 2 < file.size()) {
            int hi = HexDigit(file[i + 1]);
            int lo = HexDigit(file[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += file[i];
    }
    return out;
}

constexpr size_t kTypeBytes = 4;

void SyncFolder(const fs::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Registry::Registry() : root_(DataFolder() / "registry") {}

Registry::Registry(fs::path root) : root_(std::move(root)) {}

fs::path Registry::KeyFolder(const std::string& keyPath) const {
    fs::path folder = root_;
    std::string level;
    auto flush = [&] {
        if (!level.empty()) {
            folder /= EscapeName(level);
            level.clear();
        }
    };
    for (char c : keyPath) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            level += c;
        }
    }
    flush();
    return folder;
}

fs::path Registry::ValueFile(const std::string& keyPath, const std::string& name) const {
    // Values live in a "values" sub-folder so that a value and a sub-key of
    // the same name never collide.
    return KeyFolder(keyPath) / ".values" / EscapeName(name);
}

bool Registry::CreateKey(const std::string& keyPath) {
    std::error_code ec;
    fs::path folder = KeyFolder(keyPath);
    fs::create_directories(folder, ec);
    if (ec) {
        return false;
    }
    for (fs::path p = folder; p != root_.parent_path() && !p.empty(); p = p.parent_path()) {
        ::chmod(p.c_str(), 0700);
        if (p == root_) {
            break;
        }
    }
    return fs::is_directory(folder, ec);
}

bool Registry::KeyExists(const std::string& keyPath) const {
    std::error_code ec;
    return fs::is_directory(KeyFolder(keyPath), ec);
}

bool Registry::DeleteKey(const std::string& keyPath) {
    std::error_code ec;
    fs::path folder = KeyFolder(keyPath);
    if (folder == root_) {
        return false;
    }
    return fs::remove_all(folder, ec) > 0 && !ec;
}

bool Registry::WriteValue(const std::string& keyPath, const std::string& name, RegistryType type,
                          const void* data, size_t size) {
    if (!CreateKey(keyPath)) {
        return false;
    }
    fs::path file = ValueFile(keyPath, name);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    ::chmod(file.parent_path().c_str(), 0700);
    return WriteValueFile(file, type, data, size);
}

bool Registry::WriteValueFile(const fs::path& file, RegistryType type, const void* data,
                              size_t size) {
    if (failWritesAfter_ == 0) {
        return false;
    }
    if (failWritesAfter_ > 0) {
        --failWritesAfter_;
    }
    std::vector<uint8_t> bytes(kTypeBytes + size);
    uint32_t tag = static_cast<uint32_t>(type);
    for (size_t i = 0; i < kTypeBytes; ++i) {
        bytes[i] = static_cast<uint8_t>(tag >> (8 * i));
    }
    if (size > 0) {
        std::memcpy(bytes.data() + kTypeBytes, data, size);
    }
    return WriteFileAtomically(file, bytes.data(), bytes.size(), 0600);
}

bool Registry::ReplaceValues(const std::string& keyPath, const std::vector<std::string>& remove,
                             const std::vector<NamedRegistryValue>& values) {
    if (!CreateKey(keyPath)) {
        return false;
    }
    fs::path key = KeyFolder(keyPath);
    fs::path live = key / ".values";
    fs::path staged = key / ".values.new";
    fs::path previous = key / ".values.old";
    std::error_code ec;
    // A swap interrupted between its two renames left the values here.
    if (!fs::exists(live, ec) && fs::is_directory(previous, ec)) {
        fs::rename(previous, live, ec);
    }
    fs::remove_all(staged, ec);
    fs::remove_all(previous, ec);
    if (!fs::create_directory(staged, ec) || ec) {
        return false;
    }
    ::chmod(staged.c_str(), 0700);
    auto abandon = [&] {
        fs::remove_all(staged, ec);
        return false;
    };

    // The values that stay, then the new ones.
    std::set<std::string> replaced(remove.begin(), remove.end());
    for (const auto& value : values) {
        replaced.insert(value.name);
    }
    for (fs::directory_iterator it(live, ec), end; !ec && it != end; it.increment(ec)) {
        std::string file = it->path().filename().string();
        if (file.empty() || file[0] == '.' || replaced.count(UnescapeName(file)) != 0) {
            continue;
        }
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(it->path(), bytes) ||
            !WriteFileAtomically(staged / file, bytes.data(), bytes.size(), 0600)) {
            return abandon();
        }
    }
    if (ec && fs::exists(live)) {
        return abandon();
    }
    for (const auto& value : values) {
        if (!WriteValueFile(staged / EscapeName(value.name), value.value.type,
                            value.value.data.data(), value.value.data.size())) {
            return abandon();
        }
    }
    SyncFolder(staged);

    // The swap: one exchange of the two folders where the file system
    // offers it, else two renames (recovered above if interrupted).
    if (!fs::exists(live, ec)) {
        if (::rename(staged.c_str(), live.c_str()) != 0) {
            return abandon();
        }
    } else if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE) ==
               0) {
        fs::remove_all(staged, ec);
    } else {
        if (::rename(live.c_str(), previous.c_str()) != 0) {
            return abandon();
        }
        if (::rename(staged.c_str(), live.c_str()) != 0) {
            ::rename(previous.c_str(), live.c_str());
            return abandon();
        }
        fs::remove_all(previous, ec);
    }
    SyncFolder(key);
    return true;
}

std::optional<RegistryValue> Registry::ReadValue(const std::string& keyPath,
                                                 const std::string& name) const {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(ValueFile(keyPath, name), bytes) || bytes.size() < kTypeBytes) {
        return std::nullopt;
    }
    uint32_t tag = 0;
    for (size_t i = 0; i < kTypeBytes; ++i) {
        tag |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    RegistryValue value;
    value.type = static_cast<RegistryType>(tag);
    value.data.assign(bytes.begin() + kTypeBytes, bytes.end());
    return value;
}

bool Registry::DeleteValue(const std::string& keyPath, const std::string& name) {
    std::error_code ec;
    return fs::remove(ValueFile(keyPath, name), ec);
}

std::vector<std::string> Registry::ValueNames(const std::string& keyPath) const {
    std::vector<std::string> names;
    std::error_code ec;
    fs::path folder = KeyFolder(keyPath) / ".values";
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string file = it->path().filename().string();
        if (!file.empty() && file[0] == '.') {
            continue;  // a temporary file of an interrupted write
        }
        names.push_back(UnescapeName(file));
    }
    return names;
}

bool Registry::WriteString(const std::string& keyPath, const std::string& name,
                           const std::string& value) {
    // Strings are stored with their terminator, as the platform stores them.
    return WriteValue(keyPath, name, RegistryType::kString, value.c_str(), value.size() + 1);
}

std::optional<std::string> Registry::ReadString(const std::string& keyPath,
                                                const std::string& name) const {
    auto value = ReadValue(keyPath, name);
    if (!value || value->type != RegistryType::kString) {
        return std::nullopt;
    }
    std::string text(value->data.begin(), value->data.end());
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}

bool Registry::WriteDword(const std::string& keyPath, const std::string& name, uint32_t value) {
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return WriteValue(keyPath, name, RegistryType::kDword, bytes, sizeof bytes);
}

std::optional<uint32_t> Registry::ReadDword(const std::string& keyPath,
                                            const std::string& name) const {
    auto value = ReadValue(keyPath, name);
    if (!value || value->type != RegistryType::kDword || value->data.size() != 4) {
        return std::nullopt;
    }
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        out |= static_cast<uint32_t>(value->data[i]) << (8 * i);
    }
    return out;
}

}  // namespace orbisight
