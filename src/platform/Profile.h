#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orbisight {

// An INI file read and written with the semantics of the classic profile
// functions: section and key names compare without regard to case, values
// are trimmed and lose one pair of surrounding quotes, the file is read anew
// on every call, and writes keep every other line as it was.
class Profile {
  public:
    explicit Profile(std::filesystem::path file) : file_(std::move(file)) {}

    // A profile held in memory with the given text: reads and writes behave
    // as on a file, without touching the disk. Copies share the text.
    static Profile InMemory(std::string text);
    // The text of an in-memory profile (empty for a file).
    std::string Text() const { return memory_ ? *memory_ : std::string(); }

    // The value, or nullopt when the section or key is missing.
    std::optional<std::string> Find(const std::string& section, const std::string& key) const;

    // The value, or the default when missing.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;
    // Copies the value (or the default) into buffer, cut to size - 1 bytes,
    // and returns the number of bytes copied.
    size_t GetString(const std::string& section, const std::string& key,
                     const std::string& defaultValue, char* buffer, size_t size) const;
    // The leading decimal number of the value, or the default when missing.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;

    // Sets a value, adding the section and key when missing. Written
    // atomically. Returns false when the file cannot be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool DeleteSection(const std::string& section);

    const std::filesystem::path& File() const { return file_; }

  private:
    std::vector<std::string> ReadLines() const;
    bool WriteLines(const std::vector<std::string>& lines) const;

    std::filesystem::path file_;
    std::shared_ptr<std::string> memory_;
};

}  // namespace orbisight
