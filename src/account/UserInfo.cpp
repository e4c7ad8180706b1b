#include "account/UserInfo.h"

namespace orbisight {

std::string AccountLabel(bool loggedIn, std::string_view userName, std::string_view displayName) {
    if (!loggedIn) {
        return "No user login";
    }
    std::string label = "User: ";
    if (displayName.empty()) {
        label += userName;
    } else {
        label += displayName;
        label += "(";
        label += userName;
        label += ")";
    }
    return label;
}

}  // namespace orbisight
