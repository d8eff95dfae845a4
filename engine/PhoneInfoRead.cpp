#include "engine/PhoneInfoRead.h"

#include "comm/BaseComm.h"
#include "engine/ConnectionSetup.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace {
OperationContext& Context()
{
    return OperationContext::Instance();
}
} // namespace

void PhoneInfoRead::Report(int kind, const std::string& text)
{
    Context().SendOperationMessage(engine::kMsgPhoneInfo, 0, kind, 0, text);
}

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
    // Texts 1 to 6 and 8 to 10, counted from zero.
    ClearTexts({0, 1, 2, 3, 4, 5, 7, 8, 9});
    if (!ConnectionSetup::InitComPort()) {
        Report(engine::kPhoneInfoFinished, Context().ErrorText());
        ReleasePort();
        return;
    }
    if (ConnectionSetup::ConnectAndIdentify()) {
        Report(engine::kPhoneInfoStatus, engine::kResponseReceived);
        StoreIdentity();
        ClearTexts({11, 12});
    } else {
        Report(engine::kPhoneInfoFinished, Context().ErrorText());
        // A view ends the worker on its finish report: then the texts and the
        // grid keep what they showed, and only the port is handed back.
        if (!Pacing::Instance().StopRequested()) {
            Report(engine::kPhoneInfoStatus, engine::kNothingResponse);
            ClearTexts({0, 1, 2, 3, 4, 5, 6, 10, 11, 12});
        }
    }
    Report(engine::kPhoneInfoResult, "");
    ReleasePort();
    Report(engine::kPhoneInfoFinished, "");
}

void PhoneInfoRead::ReleasePort()
{
    if (BaseComm* channel = Context().Channel()) {
        channel->Disconnect();
        channel->ClearAccumulation();
    }
}
