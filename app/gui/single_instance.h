#pragma once
// One Zenvira at a time: a second `zenvira ADDRESS|FILE...` hands its operands to the running
// one through a local socket in the user's runtime folder that only the user may connect to,
// and ends. The running one puts an address into the address box and extracts it, and plays a
// file.
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLocalServer;

namespace zenvira::gui {

// $XDG_RUNTIME_DIR/zenvira.socket, else one in the temporary folder named after the user.
QString instanceSocketPath();

// Hands `operands` to the program listening at `socket`; false when none listens there.
bool handToRunningInstance(const QStringList& operands, const QString& socket = instanceSocketPath());

// Held from the look for a running program until this one listens: two programs starting
// at once cannot then both find none and both go on. A lock its crashed holder left is taken
// over; one held longer than a few seconds is not waited for.
class StartGuard {
public:
    explicit StartGuard(const QString& socket = instanceSocketPath());

private:
    QLockFile lock_;
};

// Listens at `socket` while it lives; each operand a second program hands over comes to
// `onOperand` on the UI thread; a start with nothing to hand over comes as an empty one.
class RunningInstance : public QObject {
    Q_OBJECT
public:
    explicit RunningInstance(std::function<void(const QString&)> onOperand, const QString& socket = instanceSocketPath(),
                             QObject* parent = nullptr);
    bool listening() const;

private:
    QLocalServer* server_ = nullptr;
    std::function<void(const QString&)> onOperand_;
};

}  // namespace zenvira::gui
