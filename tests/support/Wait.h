#pragma once

#include <QString>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>

// A failed comparison of texts shows them as text.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Waits, running the event loop, until a condition holds; the failure is the test's when the time
// runs out. Qt's QTRY_ macros must not be used here: in a gtest test their failure only returns
// from the function, and the test passes having checked nothing.
#define FD_WAIT_TRUE(condition, milliseconds)                                                          \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, milliseconds))          \
        << "still false after " << (milliseconds) << " ms: " #condition

// The same for a value that must come to equal another; the failure shows both.
#define FD_WAIT_EQ(actual, expected, milliseconds)                                                     \
    do {                                                                                               \
        [[maybe_unused]] const bool fd_arrived = QTest::qWaitFor([&] { return (actual) == (expected); }, milliseconds); \
        ASSERT_EQ(actual, expected) << "after " << (milliseconds) << " ms";                           \
    } while (false)
