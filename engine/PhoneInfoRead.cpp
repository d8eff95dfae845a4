#include "engine/PhoneInfoRead.h"

#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"
#include "nv/NvDoc.h"

namespace corvanetov {

using namespace detail;

void PhoneInfoRead::ClearTexts(std::initializer_list<int> texts)
{
    if (NvDoc* doc = Context().NvDocument())
        for (int text : texts)
            doc->SetText(text, "");
}

void PhoneInfoRead::StoreIdentity()
{
    auto& context = Context();
    NvDoc* doc = context.NvDocument();
    if (!doc)
        return;
    doc->SetText(NvDoc::kEsn, context.EsnText());
    doc->SetText(NvDoc::kSoftwareVersion, context.SoftwareVersionText());
    doc->SetText(NvDoc::kHardwareVersion, context.HardwareVersionText());
    doc->SetText(NvDoc::kPhoneNumber, context.PhoneNumberText());
}

void PhoneInfoRead::Run()
{
    // The read names no steps: its status line shows only what it found.
    OperationFrame frame(families::kPhoneInfo, OperationFrame::Steps::Quiet);
    // Texts 1 to 6 and 8 to 10, counted from zero.
    ClearTexts({0, 1, 2, 3, 4, 5, 7, 8, 9});
    if (!frame.InitComPort())
        return;
    bool identified = frame.ConnectAndIdentify();
    if (identified) {
        frame.Status(engine::kResponseReceived);
        StoreIdentity();
        ClearTexts({11, 12});
    } else if (!OperationFrame::Stopped()) {
        // A view ends the worker on its end report: then the texts and the
        // grid keep what they showed.
        frame.Status(engine::kNothingResponse);
        ClearTexts({0, 1, 2, 3, 4, 5, 6, 10, 11, 12});
    }
    frame.Send(engine::kPhoneInfoResult);
    // The last report only ends the view's worker: no message box.
    frame.End(identified ? OperationMessage::Outcome::Succeeded : OperationMessage::Outcome::Failed, "");
}

} // namespace corvanetov
