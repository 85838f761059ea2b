// A file of secrets counts as open when anyone but its owner may read it.
#include "common/OwnerOnlyFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(OwnerOnlyFile, OthersMayReadByTheGroupsOrEveryonesReadRight)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("remind.ini"));
    EXPECT_FALSE(fd::othersMayRead(path)) << "a missing file";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        mode_t mode;
        bool open;
    };
    const Case cases[] = {
        {0600, false}, {0400, false}, {0700, false}, {0640, true}, {0604, true}, {0644, true}, {0620, false}, {0602, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        EXPECT_EQ(fd::othersMayRead(path), c.open);
    }
    // makeOwnerOnly closes what was open.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_TRUE(fd::makeOwnerOnly(path));
    EXPECT_FALSE(fd::othersMayRead(path));
}

} // namespace
