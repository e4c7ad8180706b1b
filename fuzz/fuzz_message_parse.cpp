// The device message parser on arbitrary bytes: it must never read past
// what it is given, and whatever it accepts must survive a round trip
// through the writer unchanged.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "device/CHalvexProtocolAX.h"

using orbisight::CHalvexProtocolAX;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CHalvexProtocolAX message;
    message.Parse(data, size);
    message.FindField("Ret");
    message.FindText("Command_Param");

    if (message.Fields().empty()) {
        return 0;
    }
    const uint8_t* wire = message.Serialize();
    CHalvexProtocolAX again;
    again.Parse(wire, static_cast<size_t>(message.TotalLength()));
    if (again.Fields().size() != message.Fields().size() || again.Type() != message.Type() ||
        again.TotalLength() != message.TotalLength()) {
        std::abort();
    }
    for (size_t i = 0; i < message.Fields().size(); ++i) {
        const auto& a = *message.Fields()[i];
        const auto& b = *again.Fields()[i];
        if (a.Name() != b.Name() || a.Value() != b.Value() || b.Text()[b.valueLength] != '\0') {
            std::abort();
        }
    }
    return 0;
}
