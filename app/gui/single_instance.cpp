#include "app/gui/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

namespace zenvira::gui {

namespace {

constexpr int kHandOverMilliseconds = 1000;
constexpr int kLongestStartWait = 5000;

}  // namespace

QString instanceSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return QDir(runtime).filePath(QStringLiteral("zenvira.socket"));
    const QString user = qEnvironmentVariable("USER", QStringLiteral("user"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("zenvira-%1.socket").arg(user));
}

bool handToRunningInstance(const QStringList& operands, const QString& socket) {
    QLocalSocket connection;
    connection.connectToServer(socket);
    if (!connection.waitForConnected(kHandOverMilliseconds)) return false;
    // One operand a line; the running program reads until the connection ends.
    for (const QString& operand : operands) connection.write(operand.toUtf8() + '\n');
    connection.flush();
    while (connection.bytesToWrite() > 0 && connection.waitForBytesWritten(kHandOverMilliseconds)) {
    }
    connection.disconnectFromServer();
    return true;
}

StartGuard::StartGuard(const QString& socket) : lock_(socket + QStringLiteral(".lock")) {
    lock_.tryLock(kLongestStartWait);
}

RunningInstance::RunningInstance(std::function<void(const QString&)> onOperand, const QString& socket, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), onOperand_(std::move(onOperand)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socket)) {
        // Left by a program that ended without closing it: nobody answers there.
        QLocalSocket probe;
        probe.connectToServer(socket);
        if (probe.waitForConnected(200)) return;  // another one runs
        QLocalServer::removeServer(socket);
        server_->listen(socket);
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = server_->nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            connect(connection, &QLocalSocket::readyRead, connection,
                    [connection, received] { received->append(connection->readAll()); });
            connect(connection, &QLocalSocket::disconnected, this, [this, connection, received] {
                received->append(connection->readAll());
                connection->deleteLater();
                bool any = false;
                for (const QByteArray& line : received->split('\n'))
                    if (!line.trimmed().isEmpty()) {
                        any = true;
                        onOperand_(QString::fromUtf8(line.trimmed()));
                    }
                // A second start with nothing to hand over asks to see the running one.
                if (!any) onOperand_(QString());
            });
        }
    });
}

bool RunningInstance::listening() const { return server_->isListening(); }

}  // namespace zenvira::gui
