#pragma once

#include "net/Http.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The SMS platform's HTTP interface: URL building and reply reading (pure), and the three requests.
// Nothing here shows a message; the window decides what the user sees.
namespace fd::sms {

// The separator of the six pieces of the configured URL template.
inline const QString kPieceSeparator = QStringLiteral("@#$%");
constexpr int kPieceCount = 6;

// Where the platform is: the pieces of the URL template and the time-outs of one request.
struct SmsPlatform {
    QStringList pieces;
    net::HttpOptions http;
    // False when the template has fewer than six pieces: no URL can be built.
    bool complete() const { return pieces.size() >= kPieceCount; }
};

// The template split at every separator.
QStringList smsSplitTemplate(const QString& urlTemplate);

// Every byte of the text's UTF-8 form as "%XX" (two uppercase hexadecimal digits).
QString smsEncodeText(const QString& text);

// Piece 4, user, piece 5, password. Empty when the template is incomplete.
QString smsBalanceUrl(const SmsPlatform& platform, const QString& user, const QString& password);
// Piece 0, user, piece 1, password, piece 2, phone, piece 3, encoded message, encoded suffix.
// Empty when the template is incomplete.
QString smsSendUrl(const SmsPlatform& platform, const QString& user, const QString& password, const QString& phone,
    const QString& message, const QString& suffix);

// The balance text of a balance reply: the third "="-separated piece (empty when there is none).
QString smsReadBalance(const QByteArray& reply);
// A send reply accepts the message only when its eighth byte is the digit 0. An empty or short
// reply (platform unreachable, time-out) and "result=-1" are not acceptance.
bool smsReadSendReply(const QByteArray& reply);

// One request each; each blocks the calling thread until the reply or the time-out.
bool smsCheckAccount(const SmsPlatform& platform, const QString& user, const QString& password);
QString smsGetBalance(const SmsPlatform& platform, const QString& user, const QString& password);
bool smsSendMessage(const SmsPlatform& platform, const QString& user, const QString& password, const QString& phone,
    const QString& message, const QString& suffix);

} // namespace fd::sms
