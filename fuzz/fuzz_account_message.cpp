// The account message format on arbitrary bytes: framing prefix, header
// parser and body length must never read past what they are given, and a
// header the parser accepts must survive a round trip through the builder.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "account/AccountFraming.h"
#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"

using orbisight::CXOMPPackageBuilder;
using orbisight::CXOMPPackageParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4) {
        int length = 0;
        orbisight::ParseLengthPrefix(reinterpret_cast<const char*>(data), length);
    }
    // An exact-size copy, so that a read past the end is caught.
    std::string header(reinterpret_cast<const char*>(data), size);
    CXOMPPackageParser parser;
    bool ok = parser.parse(header.data(), static_cast<int>(header.size()));
    CXOMPPackageParser::getContentLength(header.data(), static_cast<int>(header.size()));
    parser.getIntegerSectionWithDefault("cseq", 0);
    if (!ok) {
        return 0;
    }

    CXOMPPackageBuilder builder;
    bool started = parser.isReply()
                       ? builder.setStatus(parser.getStatusCode(), parser.statusDescription())
                       : builder.setHeader(std::string(parser.command()) +
                                               (parser.resourceName().empty()
                                                    ? std::string()
                                                    : " " + std::string(parser.resourceName())),
                                           1);
    if (!started) {
        return 0;
    }
    const char* name;
    const char* value;
    int nameLength;
    int valueLength;
    while (parser.getNextSection(name, nameLength, value, valueLength)) {
        builder.addSection(name, nameLength, value, valueLength);
    }
    if (!builder.hasMessage()) {
        return 0;
    }
    std::string encoded(builder.getBuffer(), static_cast<size_t>(builder.getDataLen()));
    CXOMPPackageParser again;
    if (!again.parse(encoded.substr(4)) || again.sectionCount() != parser.sectionCount() ||
        again.getStatusCode() != parser.getStatusCode()) {
        std::abort();
    }
    return 0;
}
