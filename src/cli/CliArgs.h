#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orbisight::cli {

// Exit codes of orbisight-cli.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoConnection = 3;
constexpr int kExitNoLogin = 4;        // login refused or no answer
constexpr int kExitCameraRefused = 5;  // the camera answered "Ret" other than "1"
constexpr int kExitFailed = 6;         // a cloud query or download failed
constexpr int kExitUnavailable = 7;    // the cloud-storage library is missing or incomplete

// "--name value" options, "--flag" switches and positional words.
class CliArgs {
  public:
    // flags: the option names that take no value. Returns nullopt and
    // fills error for an option that lacks its value.
    static std::optional<CliArgs> Parse(const std::vector<std::string>& words,
                                        const std::set<std::string>& flags, std::string& error);

    bool Has(const std::string& name) const { return options_.count(name) > 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    // The number, or fallback when absent; nullopt when present but not a number.
    std::optional<long> GetNumber(const std::string& name, long fallback) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Options that were given but are not in known (for "unknown option").
    std::vector<std::string> Unknown(const std::set<std::string>& known) const;

  private:
    std::map<std::string, std::string> options_;
    std::vector<std::string> positional_;
};

// True when text is exactly count decimal digits.
bool IsDigits(const std::string& text, size_t count);

// Subcommands; each returns the process exit code.
int RunDeviceCommand(const std::string& command, const std::vector<std::string>& words);
int RunWatch(const std::vector<std::string>& words);
int RunTalk(const std::vector<std::string>& words);
int RunAccount(const std::vector<std::string>& words);
int RunLocal(const std::vector<std::string>& words);
int RunPlay(const std::vector<std::string>& words);
// lan-search, lan-set
int RunLan(const std::string& command, const std::vector<std::string>& words);
// cloud-list, cloud-get
int RunCloud(const std::string& command, const std::vector<std::string>& words);

}  // namespace orbisight::cli
