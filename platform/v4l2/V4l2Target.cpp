#include "platform/v4l2/V4l2Target.h"

#include <cstdlib>
#include <vector>

namespace {

bool fail(std::string* pError, const std::string& reason)
{
    if (pError)
        *pError = reason;
    return false;
}

// A number in decimal or, with 0x, hexadecimal, within [nMin, nMax].
bool parseNumber(const std::string& text, int nMin, int nMax, int* pnValue)
{
    if (text.empty() || text.size() > 6)
        return false;
    char* pEnd = nullptr;
    const long v = std::strtol(text.c_str(), &pEnd, 0);
    if (*pEnd != '\0' || text[0] == '-' || text[0] == '+' || v < nMin || v > nMax)
        return false;
    *pnValue = int(v);
    return true;
}

std::vector<std::string> split(const std::string& text, char cSep)
{
    std::vector<std::string> parts;
    size_t nStart = 0;
    for (;;) {
        const size_t nAt = text.find(cSep, nStart);
        parts.push_back(text.substr(nStart, nAt == std::string::npos ? std::string::npos : nAt - nStart));
        if (nAt == std::string::npos)
            return parts;
        nStart = nAt + 1;
    }
}

} // namespace

bool parseV4l2Target(const std::string& text, V4l2Target* pTarget, std::string* pError)
{
    V4l2Target t;
    if (text.empty() || text == "auto") {
        *pTarget = t;
        return true;
    }
    const std::vector<std::string> parts = split(text, ',');
    t.node = parts[0];
    if (t.node.size() < 6 || t.node.compare(0, 5, "/dev/") != 0)
        return fail(pError, "\"" + text + "\" names no device: expected /dev/videoN");
    bool bTransportSet = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& opt = parts[i];
        if (bTransportSet)
            return fail(pError, "\"" + text + "\": only one of bulk=, xu= and nocmd may be given");
        bTransportSet = true;
        if (opt == "nocmd") {
            t.eTransport = V4l2Target::Transport::None;
        } else if (opt.compare(0, 5, "bulk=") == 0) {
            const std::vector<std::string> v = split(opt.substr(5), ':');
            if (v.size() != 3 || !parseNumber(v[0], 0, 255, &t.nInterface)
                || !parseNumber(v[1], 0x01, 0x0F, &t.nEndpointOut) || !parseNumber(v[2], 0x81, 0x8F, &t.nEndpointIn))
                return fail(pError, "\"" + opt + "\": expected bulk=INTERFACE:OUT:IN, for example bulk=2:0x01:0x81");
            t.eTransport = V4l2Target::Transport::Bulk;
        } else if (opt.compare(0, 3, "xu=") == 0) {
            const std::vector<std::string> v = split(opt.substr(3), ':');
            if (v.size() != 2 || !parseNumber(v[0], 1, 255, &t.nUnit) || !parseNumber(v[1], 1, 255, &t.nSelector))
                return fail(pError, "\"" + opt + "\": expected xu=UNIT:SELECTOR, for example xu=4:1");
            t.eTransport = V4l2Target::Transport::Xu;
        } else {
            return fail(pError, "\"" + opt + "\": unknown option (bulk=, xu= or nocmd)");
        }
    }
    *pTarget = t;
    return true;
}
