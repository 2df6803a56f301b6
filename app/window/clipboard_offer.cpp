#include "app/window/clipboard_offer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/batch_list.h"

namespace zenvira::window {

QString ClipboardLinks::offerFor(const QString& clipboardText) {
    const QString text = clipboardText.trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) return {};
    const auto entry = app::batchEntryFor(text.toStdString());
    if (!entry || !offered_.insert(entry->address).second) return {};
    return QString::fromStdString(entry->address);
}

ClipboardOffer::ClipboardOffer(bool canQueue, QWidget* parent) : QFrame(parent), text_(new QLabel(this)) {
    setObjectName(QStringLiteral("clipboardOffer"));
    setAccessibleName(tr("Copied link"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 1, 2, 1);
    text_->setTextFormat(Qt::PlainText);
    text_->setMinimumWidth(40);
    row->addWidget(text_, 1);
    const auto button = [this, row](const QString& caption, const char* name) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setAccessibleName(caption);
        made->setAutoDefault(false);
        row->addWidget(made);
        return made;
    };
    connect(button(tr("Extract"), "offerExtract"), &QPushButton::clicked, this, [this] {
        hide();
        emit extract(address_);
    });
    if (canQueue)
        connect(button(tr("Add to queue"), "offerQueue"), &QPushButton::clicked, this, [this] {
            hide();
            emit addToQueue(address_);
        });
    connect(button(tr("Dismiss"), "offerDismiss"), &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

void ClipboardOffer::offer(const QString& address) {
    address_ = address;
    const QString shown = tr("Copied: %1").arg(address);
    text_->setText(text_->fontMetrics().elidedText(shown, Qt::ElideMiddle, qMax(120, width() - 260)));
    text_->setToolTip(address);
    show();
    raise();
}

}  // namespace zenvira::window
