#include "net/Http.h"

#include "net/CurlFailure.h"

#include <curl/curl.h>
#include <memory>

namespace fd::net {
namespace {

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

size_t appendBody(char* data, size_t size, size_t count, void* user)
{
    static_cast<QByteArray*>(user)->append(data, static_cast<qsizetype>(size * count));
    return size * count;
}

size_t discardBody(char*, size_t size, size_t count, void*) { return size * count; }

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic_bool*>(user);
    return cancel && cancel->load() ? 1 : 0;
}

const char* const kBrowserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

struct Request {
    std::unique_ptr<CURL, CurlDeleter> curl;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    QByteArray url;
};

bool prepare(Request& r, const QString& url, const char* userAgent, const HttpOptions& options)
{
    r.curl.reset(curl_easy_init());
    if (!r.curl)
        return false;
    CURL* c = r.curl.get();
    r.url = url.toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, r.url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent);
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(options.totalTimeoutSeconds));
    curl_slist* list = nullptr;
    list = curl_slist_append(list, "Accept: */*");
    list = curl_slist_append(list, "Pragma: no-cache");
    list = curl_slist_append(list, "Cache-Control: no-cache");
    r.headers.reset(list);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
    if (options.cancel) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(options.cancel));
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }
    return true;
}

} // namespace

void globalInit()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

QByteArray httpGetFirst(const QStringList& urls, const HttpOptions& options, Failure* failure)
{
    Failure tried;
    if (urls.isEmpty())
        tried.add(Failure { Failure::CannotConnect, QStringLiteral("no web server") });
    for (const QString& url : urls) {
        Request r;
        if (!prepare(r, url, kBrowserAgent, options)) {
            tried.add(Failure { Failure::Other, url + QStringLiteral(": no HTTP session") });
            break;
        }
        CURL* c = r.curl.get();
        QByteArray body;
        char message[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, appendBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
        const CURLcode rc = curl_easy_perform(c);
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        const Failure attempt = httpFailure(rc, status, QString::fromUtf8(message), url);
        if (!attempt.failed() && status >= 200 && status < 300)
            return body;
        tried.add(attempt);
        if (!serverUnreachable(c, rc))
            break;
    }
    if (failure)
        *failure = tried;
    return QByteArray();
}

QByteArray httpGet(const QString& url, const HttpOptions& options)
{
    Request r;
    if (!prepare(r, url, kBrowserAgent, options))
        return QByteArray();
    QByteArray body;
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(r.curl.get()) != CURLE_OK)
        return QByteArray();
    return body;
}

bool isOnline(const QString& url, const HttpOptions& options)
{
    if (url.isEmpty())
        return false;
    Request r;
    if (!prepare(r, url, "test", options))
        return false;
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEFUNCTION, discardBody);
    return curl_easy_perform(r.curl.get()) == CURLE_OK;
}

} // namespace fd::net
