// Reply gathering: the input is a sequence of received transfer frames, each preceded by a
// two-byte length (what the library reports as received). Every frame goes through the same
// checks and joining that a real camera's replies do.
#include "device/CommandFrame.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    CommandFrame::ReplyAssembler assembler(pData[0]);
    size_t nPos = 1;
    while (nPos + 2 <= nSize && assembler.state() == CommandFrame::ReplyAssembler::State::NeedMore) {
        // The library never reports more than the room it was given.
        int nReceived = (pData[nPos] | (pData[nPos + 1] << 8)) % (CommandFrame::ReplyAssembler::receiveRoom() + 1);
        nPos += 2;
        const size_t nAvailable = nSize - nPos;
        const int nCopy = static_cast<int>(nAvailable < static_cast<size_t>(nReceived) ? nAvailable : nReceived);
        std::memcpy(assembler.receiveSlot(), pData + nPos, nCopy);
        nPos += nCopy;
        CommandFrame::checkFrame(assembler.receiveSlot(), nCopy);
        assembler.accept(nCopy);
    }
    if (assembler.state() == CommandFrame::ReplyAssembler::State::Complete) {
        volatile uint8_t sink = assembler.status();
        const int nLen = assembler.payloadLength();
        for (int i = 0; i < nLen; ++i)
            sink = sink ^ assembler.payload()[i];
        (void)sink;
    }
    // The request side must refuse what does not fit instead of writing past its buffer.
    uint8_t packet[CommandFrame::kFrameBufferSize];
    CommandFrame::buildPacket(pData[0], pData, static_cast<int>(nSize), packet, sizeof packet);
    return 0;
}
