#pragma once

#include <QByteArray>
#include <QString>

// Text rules shared by every part of the program. Inside the program text is a QString;
// GBK bytes exist only where the outside world sees them (SQL text, byte lengths, file names).
namespace fd::text {

// Result of converting Unicode text to GBK. A character that GBK cannot hold is an error:
// never replaced, never dropped.
struct GbkResult {
    QByteArray bytes;
    int badIndex = -1; // index (in QString code units) of the first character GBK cannot hold
    bool ok() const { return badIndex < 0; }
};

GbkResult toGbk(const QString& text);
// Decodes GBK bytes. Invalid sequences decode as U+FFFD (the bytes came from outside; nothing is
// written back from such a decode without passing toGbk again, which then refuses it).
QString fromGbk(const char* data, qsizetype size);
inline QString fromGbk(const QByteArray& bytes) { return fromGbk(bytes.constData(), bytes.size()); }
// Length in GBK bytes, or -1 when the text holds a character GBK cannot store.
qsizetype gbkLength(const QString& text);

// Removes leading and trailing ASCII spaces and full-width spaces (U+3000, GBK A1 A1) only.
// Tabs and line breaks stay.
QString trimSpaces(const QString& text);

// The leading decimal number of the text; full-width digits, signs and point count as ASCII ones.
// A text that does not begin with a number is 0.
double toNumber(const QString& text);

constexpr double kTolerance = 1e-7;
inline bool isBelow(double value, double limit) { return value - limit < -kTolerance; }
inline bool isEqual(double value, double limit) { return (value - limit) <= kTolerance && (limit - value) <= kTolerance; }

// Byte-exact comparison of the GBK forms, unsigned, no trimming and no case folding.
// For texts GBK can hold this is the order of the GBK bytes.
int compareBytes(const QString& a, const QString& b);

} // namespace fd::text
