#include "net/CurlSession.h"

#include <algorithm>

namespace fd::net {
namespace {

    // The longest libcurl is left waiting for a socket before it looks at its state again.
    constexpr long kPollMilliseconds = 5;

} // namespace

CurlSession::CurlSession()
    : m_easy(curl_easy_init()), m_multi(curl_multi_init())
{
}

CurlSession::~CurlSession()
{
    // The multi handle holds the open connections: it goes last.
    if (m_easy)
        curl_easy_cleanup(m_easy);
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

CURLcode CurlSession::perform()
{
    if (!m_easy)
        return CURLE_FAILED_INIT;
    if (!m_multi || curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return curl_easy_perform(m_easy);
    CURLcode result = CURLE_OK;
    bool done = false;
    while (!done) {
        int running = 0;
        if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) {
                result = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (running == 0) { // ended without a word: never taken for a success
            result = CURLE_FAILED_INIT;
            break;
        }
        long timeout = -1;
        curl_multi_timeout(m_multi, &timeout);
        const long wait = timeout < 0 ? kPollMilliseconds : std::min(timeout, kPollMilliseconds);
        if (wait > 0 && curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(wait), nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(m_multi, m_easy);
    return result;
}

} // namespace fd::net
