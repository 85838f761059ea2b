#pragma once

// Shared set-up of the login and password window tests: the stack's settings, an administrative
// connection to yunsugongsi, a remembered-login file of the test's own and test users in mimabiao
// that are removed again afterwards.
#include "common/AppState.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace fd::test {

// Every test user's name starts with this, so TearDown finds them all.
inline const QString kTestUserPrefix = QStringLiteral("fdacct_");
// A port where nothing listens.
constexpr int kClosedPort = 1;

class AccountsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        admin = connectStack(QStringLiteral("yunsugongsi"));
        ASSERT_TRUE(admin);
        removeTestUsers();
        ASSERT_TRUE(dir.isValid());
        iniPath = dir.filePath(QStringLiteral("Network.ini"));
    }

    void TearDown() override
    {
        removeTestUsers();
        // The sample login must keep working for every other test.
        mustExecute(admin, QStringLiteral("update mimabiao set mima='123456' where yonghuming='admin'"));
    }

    void removeTestUsers()
    {
        mustExecute(admin,
            db::Statement("delete from mimabiao where left(yonghuming, ?)=?").bind(kTestUserPrefix.size()).bind(kTestUserPrefix));
    }

    void addUser(const QString& name, const QString& password)
    {
        mustExecute(admin, db::Statement("insert into mimabiao (yonghuming, mima) values (?, ?)").bind(name).bind(password));
    }

    // The whole users table as one text, to prove a statement left it untouched.
    QString usersSnapshot()
    {
        return queryValue(admin,
            QStringLiteral("select group_concat(concat(ID, ':', hex(yonghuming), ':', hex(mima)) "
                           "order by ID separator '|') from mimabiao"));
    }

    QString passwordOf(const QString& name)
    {
        return queryValue(admin,
            db::Statement("select group_concat(mima order by ID separator '|') from mimabiao where yonghuming=?")
                .bind(name));
    }

    QString encipheredForKeyB(const QString& plain)
    {
        return fd::encipherSetting(plain, state.settings.settingKeyB, state.settings.xorMask);
    }

    template <typename T> static T* find(QWidget* window, const QString& name)
    {
        T* child = window->findChild<T*>(name);
        if (!child)
            ADD_FAILURE() << "no control " << name.toStdString();
        return child;
    }

    AppState state;
    ScriptedDialogs dialogs;
    db::ConnectionPtr admin;
    QTemporaryDir dir;
    QString iniPath;
};

} // namespace fd::test
