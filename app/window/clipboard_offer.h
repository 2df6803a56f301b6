#pragma once
// The clipboard watch: when the user copies an address a resolver can take, the main window
// offers it in a bar along the bottom of the batch list (Extract, Add to queue, Dismiss),
// taking neither the focus nor the address box. Only http and https addresses, each once a run.
#include <QFrame>
#include <QString>
#include <set>
#include <string>

class QLabel;
class QPushButton;

namespace zenvira::window {

// Decides what to offer of the clipboard's text: the address, when a resolver reads it, it is
// an http or https address and it was not offered before (then it counts as offered); empty
// otherwise.
class ClipboardLinks {
public:
    QString offerFor(const QString& clipboardText);

private:
    std::set<std::string> offered_;
};

class ClipboardOffer : public QFrame {
    Q_OBJECT
public:
    explicit ClipboardOffer(bool canQueue, QWidget* parent = nullptr);

    // Shows the bar for `address`, in place of one shown before.
    void offer(const QString& address);
    const QString& address() const { return address_; }

signals:
    void extract(const QString& address);
    void addToQueue(const QString& address);

private:
    QLabel* text_ = nullptr;
    QString address_;
};

}  // namespace zenvira::window
