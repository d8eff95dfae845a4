#pragma once

#include <cstdint>

#include "diag/Exchange.h"
#include "engine/NamTransferRequest.h"

namespace corvanetov {

class NVList;
namespace detail {
class OperationFrame;
}

// The NAM read and write: the handset offline, one NV item per request with
// resends, progress on operation message 1528, the handset reset at the end.
// The read stores the items' data in the NV document's settings image; the
// write sends them from it.
class NamTransfer {
public:
    // Worker entries; the start block is the worker's own copy.
    static void NamReadWorker(NamTransferRequest request);
    static void NamWriteWorker(NamTransferRequest request);

private:
    // What differs between the two directions.
    struct Pass {
        const char* step;
        uint8_t command; // of the requests and of the answers that count
        const char* error;
        int32_t endKind;
        const char* completed;
        int32_t (NamTransfer::*sendFirst)();
        int32_t (NamTransfer::*proceed)();
        NVList* NamTransferRequest::*list;
        void (*send)(uint16_t item);
    };
    static const Pass kRead;
    static const Pass kWrite;

    NamTransfer(const NamTransferRequest& request, const Pass& pass);
    void Run();
    // False when an item went unanswered after its resends, or on a stop.
    bool TransferItems(const detail::OperationFrame& frame);
    bool Answered();
    Exchange::Params AnswerToCurrentItem() const;
    int32_t CurrentItem() const;
    void Resend();
    int32_t Percent(int32_t count) const;

    // Each sends the list's next item and returns it, or -1 past the end.
    int32_t SendNextNvRead();
    int32_t SendNextNvWrite();
    // After an answer: store it (read) or look at its item (write), then
    // send the next item; -1 ends the pass.
    int32_t StoreNvReadResult();
    int32_t ContinueNvWrite();

    static int32_t SendNext(NVList* list, void (*send)(uint16_t item));
    static void SendRead(uint16_t item);
    static void SendWrite(uint16_t item);
    static uint16_t AnsweredItem();
    static uint16_t ItemOf(const uint8_t* answer);

    NamTransferRequest m_request;
    const Pass& m_pass;
};

} // namespace corvanetov
