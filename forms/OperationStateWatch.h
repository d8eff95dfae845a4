#pragma once

#include <QObject>

namespace corvanetov {

// Tells its owner, on the owner's thread, each time the operation state
// changes, wherever the change was made.
class OperationStateWatch : public QObject {
    Q_OBJECT
public:
    explicit OperationStateWatch(QObject* parent = nullptr);
    ~OperationStateWatch() override;

signals:
    void Changed();
};

} // namespace corvanetov
