#include "cli/CliSink.h"

#include <cstdio>

#include "engine/EngineConstants.h"
#include "platform/Pacing.h"

CliSink::CliSink(bool quiet) : m_quiet(quiet) {}

namespace {
constexpr char kClearLine[] = "\r\033[K";
}

void CliSink::Status(const std::string& text)
{
    if (m_quiet || text.empty())
        return;
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s%s\n", m_progressShown ? kClearLine : "", text.c_str());
    m_progressShown = false;
}

void CliSink::ShowProgress(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s%s", kClearLine, text.c_str());
    std::fflush(stderr);
    m_progressShown = !text.empty();
}

void CliSink::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != engine::kMsgPhoneInfo)
        return;
    switch (message.kind) {
    case engine::kPhoneInfoStatus:
        Status(message.text);
        break;
    case engine::kPhoneInfoFinished: {
        std::lock_guard lock(m_mutex);
        if (!m_finished) {
            m_finished = true;
            m_finishText = message.text;
        }
        // As a view does: the first finish report ends the worker.
        Pacing::Instance().RequestStop();
        break;
    }
    default:
        break;
    }
}

bool CliSink::Finished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::string CliSink::FinishText() const
{
    std::lock_guard lock(m_mutex);
    return m_finishText;
}
