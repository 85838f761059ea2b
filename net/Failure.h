#pragma once

#include <QString>

namespace fd::net {

// Why a transfer failed: a kind the user reads in Chinese, and the technical text (libcurl's own
// words, the server's reply code, the server and file) kept for support. Never holds a password.
struct Failure {
    enum Kind {
        None,
        CannotConnect, // no server answered: refused, unknown host, no route
        TimedOut,      // a server took longer than the time-out, to connect or in the transfer
        LoginRefused,  // the account was refused
        DiskFull,      // the server has no room for the file
        NotFound,      // no such file or page
        FileRefused,   // the server would not store the file (rights, name)
        Certificate,   // the server's certificate could not be verified
        Cancelled,     // stopped by the program (a window closed)
        Other,
    };
    Kind kind = None;
    QString technical; // one line per server tried

    bool failed() const { return kind != None; }
    // The reason in Chinese, one sentence, for the line under a message's headline.
    QString text() const;
    // Adds the line of one more server tried; the kind becomes that server's.
    void add(const Failure& attempt);
};

// One FTP transfer: libcurl's result code, the server's last reply code (0: no reply at all), the
// text of libcurl's error buffer and the place ("FTP host:port name").
Failure ftpFailure(int curlCode, long replyCode, const QString& curlText, const QString& where);
// One HTTP request: libcurl's result code, the status (0: no answer), libcurl's text, the URL. A
// completed request fails too unless its status is 2xx ("file/page not found" for 404 and 410).
Failure httpFailure(int curlCode, long status, const QString& curlText, const QString& url);

} // namespace fd::net
