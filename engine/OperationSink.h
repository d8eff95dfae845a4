#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// One operation message (numbers 1524 to 1528): the worker's report to the
// view that started it. Delivered synchronously: OnOperationMessage returns
// only when the front end has handled it.
struct OperationMessage {
    // An end report says how the operation ended; the views go by its text,
    // a front end without a window (the command line) by this.
    enum class Outcome { None, Succeeded, Failed };

    int number = 0;
    int32_t param = 0;
    int32_t kind = 0;
    int32_t value = 0;
    std::string text;
    Outcome outcome = Outcome::None;
    // A progress report of an operation that moves data (the software
    // download): the bytes done and the bytes to do, for front ends that show
    // amounts and throughput. Both 0 otherwise; the views go by the value.
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
};

class OperationSink {
public:
    virtual ~OperationSink() = default;
    virtual void OnOperationMessage(const OperationMessage& message) = 0;
};

} // namespace corvanetov
