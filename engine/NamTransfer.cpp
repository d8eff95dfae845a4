#include "engine/NamTransfer.h"

#include <algorithm>

#include "diag/DiagConstants.h"
#include "diag/DiagRequests.h"
#include "engine/EngineConstants.h"
#include "engine/NvItemData.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "platform/Trace.h"

namespace corvanetov {

using namespace detail;

const NamTransfer::Pass NamTransfer::kRead = {engine::kStepReadingNam,   diag::kCmdNvRead,
                                              engine::kErrReadingNam,    engine::kNamReadDone,
                                              engine::kReadNamCompleted, &NamTransfer::SendNextNvRead,
                                              &NamTransfer::StoreNvReadResult, &NamTransferRequest::readList,
                                              &NamTransfer::SendRead,
                                              engine::kActivityReadingSettings};
const NamTransfer::Pass NamTransfer::kWrite = {engine::kStepWritingNam,    diag::kCmdNvWrite,
                                               engine::kErrWritingNam,     engine::kNamEnd,
                                               engine::kWriteNamCompleted, &NamTransfer::SendNextNvWrite,
                                               &NamTransfer::ContinueNvWrite, &NamTransferRequest::writeList,
                                               &NamTransfer::SendWrite,
                                               engine::kActivityWritingSettings};

NamTransfer::NamTransfer(const NamTransferRequest& request, const Pass& pass) : m_request(request), m_pass(pass) {}

void NamTransfer::NamReadWorker(NamTransferRequest request)
{
    NamTransfer(request, kRead).Run();
}

void NamTransfer::NamWriteWorker(NamTransferRequest request)
{
    NamTransfer(request, kWrite).Run();
}

// A failed item still ends with the reset, so that the handset leaves
// offline mode, and only then with its error.
void NamTransfer::Run()
{
    OperationFrame frame(families::kNam, m_pass.activity);
    frame.ExpectHandset(m_request.handsetEsn);
    if (!frame.Open() || !frame.GoOffline(engine::kHandsetRestartMs))
        return;
    frame.Status(m_pass.step);
    bool transferred = TransferItems(frame);
    if (OperationFrame::Stopped())
        return;
    frame.Progress(engine::kFullPercent);
    if (!frame.ResetHandset(engine::kNamResetRequests, OperationFrame::ResetText::BeforePause))
        return;
    if (!transferred)
        frame.Fail();
    else if (frame.Pause(engine::kHandsetRestartMs))
        frame.Complete(m_pass.endKind, m_pass.completed);
}

bool NamTransfer::TransferItems(const OperationFrame& frame)
{
    int32_t count = 0;
    for (int32_t item = (this->*m_pass.sendFirst)(); item >= 0;) {
        if (!Answered()) {
            OperationContext::Instance().SetErrorText(m_pass.error);
            return false;
        }
        ++count;
        TRACE("\n%d", count);
        frame.Progress(Percent(count));
        item = (this->*m_pass.proceed)();
        if (!frame.Pause(engine::kAfterNvItemMs))
            return false;
    }
    return true;
}

// The first wait is for the request already sent; then up to three resends
// of the same item.
bool NamTransfer::Answered()
{
    auto& context = OperationContext::Instance();
    const Exchange::Params params = AnswerToCurrentItem();
    if (context.AwaitAnswer(params))
        return true;
    if (OperationFrame::Stopped())
        return false;
    return context.Transact([this](DiagChannel&) { Resend(); }, params);
}

// Only the answer for the item asked for counts: a late answer to an
// earlier request (one that was sent again) would otherwise be taken for
// this item's, and the item would be skipped as if it had been read.
Exchange::Params NamTransfer::AnswerToCurrentItem() const
{
    Exchange::Params params{engine::kNvAnswerTimeoutMs, engine::kNvResendPauseMs, m_pass.command};
    params.accept = [command = m_pass.command, item = CurrentItem()](const uint8_t* answer) {
        return answer[0] == command && ItemOf(answer) == item;
    };
    return params;
}

int32_t NamTransfer::CurrentItem() const
{
    NVList* list = m_request.*m_pass.list;
    return list ? list->Current() : -1;
}

void NamTransfer::Resend()
{
    if (int32_t item = CurrentItem(); item >= 0)
        m_pass.send(static_cast<uint16_t>(item));
}

// 100 belongs to the final report, after the last item's answer.
int32_t NamTransfer::Percent(int32_t count) const
{
    if (m_request.total <= 0)
        return engine::kBeforeFinalPercent;
    return std::min(count * engine::kFullPercent / m_request.total, engine::kBeforeFinalPercent);
}

int32_t NamTransfer::SendNext(NVList* list, void (*send)(uint16_t item))
{
    int32_t item = list ? list->Next() : -1;
    if (item >= 0)
        send(static_cast<uint16_t>(item));
    return item;
}

int32_t NamTransfer::SendNextNvRead()
{
    return SendNext(m_request.readList, &SendRead);
}

int32_t NamTransfer::SendNextNvWrite()
{
    return SendNext(m_request.writeList, &SendWrite);
}

void NamTransfer::SendRead(uint16_t item)
{
    if (DiagChannel* channel = OperationContext::Instance().Channel())
        DiagRequests::NvReadRequest(*channel, item);
}

void NamTransfer::SendWrite(uint16_t item)
{
    auto& context = OperationContext::Instance();
    DiagChannel* channel = context.Channel();
    if (!channel)
        return;
    NvDoc* doc = context.NvDocument();
    DiagRequests::NvWriteRequest(*channel, item, doc ? NvItemData::ForWrite(*doc, item) : std::vector<uint8_t>());
}

uint16_t NamTransfer::AnsweredItem()
{
    return ItemOf(OperationContext::Instance().Answer());
}

uint16_t NamTransfer::ItemOf(const uint8_t* answer)
{
    return static_cast<uint16_t>(answer[1] | answer[2] << 8);
}

int32_t NamTransfer::StoreNvReadResult()
{
    auto& context = OperationContext::Instance();
    NvDoc* doc = context.NvDocument();
    std::span<const uint8_t> data(context.Answer() + diag::kNvDataOffset, diag::kNvDataSize);
    if (!doc || !NvItemData::StoreRead(*doc, AnsweredItem(), data))
        return -1;
    return SendNextNvRead();
}

int32_t NamTransfer::ContinueNvWrite()
{
    switch (AnsweredItem()) {
    case nv::kItemLockCode:
    case nv::kItemUimLockCode:
    case nv::kItemNetworkLock:
        return SendNextNvWrite();
    case nv::kItemReset:
        if (DiagChannel* channel = OperationContext::Instance().Channel())
            DiagRequests::ModeControlRequest(*channel, diag::kModeReset);
        return -1;
    default:
        return -1;
    }
}

} // namespace corvanetov
