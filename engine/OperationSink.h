#pragma once

#include <cstdint>
#include <string>

// One operation message (numbers 1524 to 1528): the worker's report to the
// view that started it. Delivered synchronously: OnOperationMessage returns
// only when the front end has handled it.
struct OperationMessage {
    int number = 0;
    int32_t param = 0;
    int32_t kind = 0;
    int32_t value = 0;
    std::string text;
};

class OperationSink {
public:
    virtual ~OperationSink() = default;
    virtual void OnOperationMessage(const OperationMessage& message) = 0;
};
