#pragma once

#include <cstdint>
#include <string>

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
};

class OperationSink {
public:
    virtual ~OperationSink() = default;
    virtual void OnOperationMessage(const OperationMessage& message) = 0;
};
