#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orbisight {

enum class RegistryType : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

struct RegistryValue {
    RegistryType type = RegistryType::kBinary;
    std::vector<uint8_t> data;
};

struct NamedRegistryValue {
    std::string name;
    RegistryValue value;
};

// The per-user settings store: one file per value under
// <root>/<key path>/, holding the value's type and bytes. Key paths use "\\"
// or "/" between levels. Values are written atomically with mode 0600.
class Registry {
  public:
    // The store of the current data folder (<data folder>/registry).
    Registry();
    explicit Registry(std::filesystem::path root);

    // Creates the key and every missing level above it.
    bool CreateKey(const std::string& keyPath);
    bool KeyExists(const std::string& keyPath) const;
    // Deletes the key with its values and sub-keys.
    bool DeleteKey(const std::string& keyPath);

    // Writes a value, creating the key when missing.
    bool WriteValue(const std::string& keyPath, const std::string& name, RegistryType type,
                    const void* data, size_t size);
    std::optional<RegistryValue> ReadValue(const std::string& keyPath,
                                           const std::string& name) const;
    bool DeleteValue(const std::string& keyPath, const std::string& name);
    std::vector<std::string> ValueNames(const std::string& keyPath) const;

    // Deletes the values named in remove and writes the given values, as
    // one step: a reader (or a crash) sees all the key's values as they
    // were or all as they are now, and on failure nothing has changed. The
    // key's new value set is written and synced beside the current one and
    // then swapped in by rename. Other values of the key are kept.
    bool ReplaceValues(const std::string& keyPath, const std::vector<std::string>& remove,
                       const std::vector<NamedRegistryValue>& values);

    // Tests: value writes fail from the given number of successful writes
    // on (0: the next one); -1 (the default) lets every write through.
    void FailWritesAfter(int writes) { failWritesAfter_ = writes; }

    bool WriteString(const std::string& keyPath, const std::string& name, const std::string& value);
    std::optional<std::string> ReadString(const std::string& keyPath,
                                          const std::string& name) const;
    bool WriteDword(const std::string& keyPath, const std::string& name, uint32_t value);
    std::optional<uint32_t> ReadDword(const std::string& keyPath, const std::string& name) const;

    const std::filesystem::path& Root() const { return root_; }

  private:
    std::filesystem::path KeyFolder(const std::string& keyPath) const;
    std::filesystem::path ValueFile(const std::string& keyPath, const std::string& name) const;

    bool WriteValueFile(const std::filesystem::path& file, RegistryType type, const void* data,
                        size_t size);

    std::filesystem::path root_;
    int failWritesAfter_ = -1;
};

}  // namespace orbisight
