#pragma once
// The camera the V4L2 backend is told to use: the first suitable one ("" / "auto"), or a
// named node with an optional choice of command transport:
//   /dev/videoN                    transport as the camera's descriptors offer it
//   /dev/videoN,bulk=IF:OUT:IN     vendor interface IF, bulk endpoints OUT and IN (hex or decimal)
//   /dev/videoN,xu=UNIT:SEL        UVC extension unit UNIT, control selector SEL
//   /dev/videoN,nocmd              picture and trailer only, no command channel

#include <string>

struct V4l2Target
{
    enum class Transport { FromDescriptors, Bulk, Xu, None };

    std::string node;   // empty: automatic choice
    Transport eTransport = Transport::FromDescriptors;
    int nInterface = -1;
    int nEndpointOut = -1;
    int nEndpointIn = -1;
    int nUnit = 0;
    int nSelector = 0;

    bool isAuto() const { return node.empty(); }
};

// False with a reason in *pError (when given) for a text that names no node or carries a
// malformed or unknown option.
bool parseV4l2Target(const std::string& text, V4l2Target* pTarget, std::string* pError);
