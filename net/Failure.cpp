#include "net/Failure.h"

#include "net/CurlFailure.h"

#include <curl/curl.h>

namespace fd::net {
namespace {

    // The failures every protocol shares; Other for the ones the protocol decides.
    Failure::Kind transportKind(int curlCode)
    {
        switch (static_cast<CURLcode>(curlCode)) {
        case CURLE_OK:
            return Failure::None;
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return Failure::CannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return Failure::TimedOut;
        case CURLE_LOGIN_DENIED:
            return Failure::LoginRefused;
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return Failure::NotFound;
        case CURLE_REMOTE_DISK_FULL:
            return Failure::DiskFull;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return Failure::Certificate;
        case CURLE_ABORTED_BY_CALLBACK:
            return Failure::Cancelled;
        default:
            return Failure::Other;
        }
    }

    QString technicalLine(int curlCode, const QString& curlText, const QString& where, const QString& reply)
    {
        QString line = where + QStringLiteral(": ");
        line += curlCode == CURLE_OK ? reply : (curlText.isEmpty() ? QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(curlCode))) : curlText);
        if (curlCode != CURLE_OK && !reply.isEmpty())
            line += QStringLiteral(" (") + reply + QLatin1Char(')');
        return line;
    }

} // namespace

QString Failure::text() const
{
    switch (kind) {
    case None:
        return QString();
    case CannotConnect:
        return QStringLiteral("无法连接到服务器，请检查网络连接；如仍不行，请联系管理员。");
    case TimedOut:
        return QStringLiteral("服务器长时间没有响应（超时），请稍后再试。");
    case LoginRefused:
        return QStringLiteral("服务器拒绝登录：用户名或密码的设置有误，请联系管理员。");
    case DiskFull:
        return QStringLiteral("服务器磁盘空间已满，无法保存文件，请联系管理员。");
    case NotFound:
        return QStringLiteral("服务器上没有找到这个文件或网页。");
    case FileRefused:
        return QStringLiteral("服务器拒绝保存这个文件，请联系管理员。");
    case Certificate:
        return QStringLiteral("服务器的证书验证失败，可能不是本公司的服务器，已停止传输。");
    case Cancelled:
        return QStringLiteral("传输已取消。");
    case Other:
        break;
    }
    return QStringLiteral("网络传输失败，请稍后再试；如仍失败，请联系管理员。");
}

void Failure::add(const Failure& attempt)
{
    kind = attempt.kind;
    if (!attempt.technical.isEmpty())
        technical += (technical.isEmpty() ? QString() : QStringLiteral("\n")) + attempt.technical;
}

bool serverUnreachable(CURL* curl, CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_URL_MALFORMAT:
        return true;
    case CURLE_OPERATION_TIMEDOUT: {
        // A time-out before the connection was made; after it, the server had answered.
        curl_off_t connected = 0;
        curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
        return connected == 0;
    }
    default:
        return false;
    }
}

Failure ftpFailure(int curlCode, long replyCode, const QString& curlText, const QString& where)
{
    Failure f;
    f.kind = transportKind(curlCode);
    if (f.kind == Failure::None)
        return f;
    if (f.kind == Failure::Other || curlCode == CURLE_UPLOAD_FAILED) {
        // The reply to STOR, or to the rename that gives the whole file its name, says why the file
        // was not stored: 452 and 552 are the standard codes for a full disk or quota, 550 and 553
        // a refusal (rights, name).
        switch (replyCode) {
        case 452:
        case 552:
            f.kind = Failure::DiskFull;
            break;
        case 530:
            f.kind = Failure::LoginRefused;
            break;
        case 550:
        case 553:
            f.kind = curlCode == CURLE_UPLOAD_FAILED || curlCode == CURLE_QUOTE_ERROR ? Failure::FileRefused
                                                                                    : Failure::Other;
            break;
        default:
            break;
        }
    }
    f.technical = technicalLine(curlCode, curlText, where,
        replyCode > 0 ? QStringLiteral("FTP reply %1").arg(replyCode) : QString());
    return f;
}

Failure httpFailure(int curlCode, long status, const QString& curlText, const QString& url)
{
    Failure f;
    f.kind = transportKind(curlCode);
    if (f.kind == Failure::None && (status < 200 || status >= 300))
        f.kind = status == 404 || status == 410 ? Failure::NotFound : Failure::Other;
    if (f.kind == Failure::None)
        return f;
    f.technical = technicalLine(curlCode, curlText, url, status > 0 ? QStringLiteral("HTTP %1").arg(status) : QString());
    return f;
}

} // namespace fd::net
