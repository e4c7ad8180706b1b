#include "app/AutomationScript.h"

#include <cstdlib>
#include <set>

#include "platform/Text.h"

namespace orbisight {

namespace {
const std::set<std::string> kWithArgument = {
    "open",     "layout",  "page",         "wait",       "at",        "select",      "screenshot",
    "drag",     "setting", "login",        "fill-login", "trace",     "wait-file",   "expand",
    "screen",   "mark",    "stall-watch",  "panel",      "loop-play", "wait-online", "quality",
    "playback", "records", "wait-records", "wall-stats"};
const std::set<std::string> kPlain = {
    "connect-all", "fullscreen", "wall-fullscreen", "disconnect-all", "cancel-login",
    "logout",      "wait-lists", "wait-playing",    "loop-stop",      "quit"};

bool ParseSeconds(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && out >= 0;
}
}  // namespace

std::vector<AutomationStep> ParseAutomation(std::string_view script, std::string* error) {
    std::vector<AutomationStep> steps;
    auto complain = [&](const std::string& what) {
        if (error) {
            *error += what + "\n";
        }
    };
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t end = script.find(';', pos);
        if (end == std::string_view::npos) {
            end = script.size();
        }
        std::string word(Trim(script.substr(pos, end - pos)));
        pos = end + 1;
        if (word.empty()) {
            continue;
        }
        AutomationStep step;
        size_t eq = word.find('=');
        step.verb = word.substr(0, eq);
        if (eq != std::string::npos) {
            step.argument = word.substr(eq + 1);
        }
        if (kPlain.count(step.verb)) {
            if (!step.argument.empty()) {
                complain("\"" + step.verb + "\" takes no argument");
                continue;
            }
        } else if (kWithArgument.count(step.verb)) {
            if (step.argument.empty()) {
                complain("\"" + step.verb + "\" needs an argument");
                continue;
            }
        } else {
            complain("unknown step \"" + step.verb + "\"");
            continue;
        }
        double seconds = 0;
        if ((step.verb == "wait" || step.verb == "at") && !ParseSeconds(step.argument, seconds)) {
            complain("\"" + step.verb + "\" needs a number of seconds");
            continue;
        }
        if ((step.verb == "loop-play" || step.verb == "wait-online") &&
            std::atoi(step.argument.c_str()) < 1) {
            complain("\"" + step.verb + "\" needs a positive number");
            continue;
        }
        if ((step.verb == "login" || step.verb == "fill-login") &&
            step.argument.find(':') == std::string::npos) {
            complain("\"" + step.verb + "\" needs USER:PASSWORD");
            continue;
        }
        if (step.verb == "screenshot" || step.verb == "screen") {
            size_t at = step.argument.rfind('@');
            if (at != std::string::npos) {
                if (!ParseSeconds(step.argument.substr(at + 1), seconds)) {
                    complain("screenshot time is not a number of seconds");
                    continue;
                }
                step.atSeconds = seconds;
                step.argument.resize(at);
            }
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace orbisight
