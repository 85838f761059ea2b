#pragma once

#include <QTest>

namespace fd::test {

// Waits until the fleet grid's list has been read whole (or has failed): the grid reads its lists
// off the window thread and shows them as they arrive. True when it has.
template <typename List> bool waitForList(const List& list, int milliseconds = 60000)
{
    return QTest::qWaitFor([&list] { return !list.filling(); }, milliseconds);
}

} // namespace fd::test
