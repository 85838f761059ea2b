#pragma once

#include <curl/curl.h>

namespace fd::net {

// One libcurl handle with the connections it keeps open between transfers. perform() is
// curl_easy_perform without its wait of up to a second: libcurl 7.88 sometimes reads a PASV or
// EPSV reply and then sets no timer to open the data connection, so the easy interface sleeps its
// whole poll of 1 000 ms before every such transfer (a folder of small pictures came at about one a
// second). Here the handle runs in a multi handle of its own that is polled every few milliseconds.
class CurlSession {
public:
    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* handle() const { return m_easy; }
    // The transfer set up on handle(), to its end; its result as curl_easy_perform gives it.
    CURLcode perform();

private:
    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
};

} // namespace fd::net
